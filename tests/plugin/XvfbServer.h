// A virtual X server for the plug-in's tests: Xvfb on the first free
// display, with a 24-bit screen, stopped when the object goes.
#pragma once

#include <string>

#include "tests/host/TestPeers.h"

namespace vx::test {

class XvfbServer {
 public:
  XvfbServer()
      : process_({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"}) {
    const std::string number = process_.FirstLine(kPeerStartSeconds);
    if (!number.empty()) display_ = ":" + number;
  }
  // ":<n>", as DISPLAY names it; empty when the server did not start.
  const std::string& Display() const { return display_; }

 private:
  ChildProcess process_;
  std::string display_;
};

}  // namespace vx::test
