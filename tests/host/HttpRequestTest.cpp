#include <gtest/gtest.h>

#include <string>

#include "host/HttpRequest.h"

namespace vx::host {
namespace {

// Nothing listens on the discard port of the loopback address: the
// requests below are built but never answered.
constexpr char kServer[] = "127.0.0.1:9";

std::string RequestFor(const char* proxy, std::string_view host, std::string_view path) {
  DataStream output;
  CHttpRequest request(proxy, 9, host, path, &output, nullptr);
  return request.RequestText();
}

TEST(HttpRequest, BlanksInThePathAreEscaped) {
  EXPECT_EQ(RequestFor(nullptr, kServer, "worlds/my texture.jpg"),
            "GET /worlds/my%20texture.jpg HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n");
  EXPECT_EQ(RequestFor("127.0.0.1", "site:8080", "a b"),
            "GET http://site:8080/a%20b HTTP/1.0\r\nHost: site:8080\r\nAccept: */*\r\n\r\n");
}

TEST(HttpRequest, ControlBytesInHostOrPathSendNothing) {
  const std::string injected = "a.txt HTTP/1.0\r\nX-Injected: 1\r\n\r\nGET /b.txt";
  for (const char* proxy : {static_cast<const char*>(nullptr), "127.0.0.1"}) {
    EXPECT_EQ(RequestFor(proxy, kServer, injected), "");
    EXPECT_EQ(RequestFor(proxy, "127.0.0.1\r\nX-Injected: 1", "a.txt"), "");
    EXPECT_EQ(RequestFor(proxy, kServer, "a\nb"), "");
    EXPECT_EQ(RequestFor(proxy, kServer, std::string("a\0b", 3)), "");
    EXPECT_EQ(RequestFor(proxy, kServer, "a\x7f"), "");
    EXPECT_EQ(RequestFor(proxy, "127.0.0.1 x", "a.txt"), "") << "a host name holds no blank";
  }
  DataStream output;
  CHttpRequest refused(nullptr, 0, kServer, injected, &output, nullptr);
  uint16_t status = refused.Step();
  for (int step = 0; status != 0 && step < 3; ++step) status = refused.Step();
  EXPECT_EQ(status, 0) << "a refused request ends without connecting";
  EXPECT_EQ(refused.ContentLength(), 0);
  EXPECT_FALSE(refused.Succeeded());
}

}  // namespace
}  // namespace vx::host
