// Which host the runtime serves. The viewer and the plug-in share the runtime
// but differ in their own product entry and in how much they ask the user.
#pragma once

#include <string_view>

namespace vx::host {

enum class HostKind {
  Viewer,  // "VantesselViewer": asks before downloads, reports "up to date"
  Plugin,  // "VantesselPlugin": downloads without asking, reports nothing
};

inline std::string_view OwnProductName(HostKind kind) {
  return kind == HostKind::Viewer ? "VantesselViewer" : "VantesselPlugin";
}

}  // namespace vx::host
