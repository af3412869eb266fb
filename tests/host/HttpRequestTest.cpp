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
            "GET /worlds/my%20texture.jpg HTTP/1.0\r\nHost: 127.0.0.1:9\r\nAccept: */*\r\n\r\n");
  EXPECT_EQ(RequestFor("127.0.0.1", "site:8080", "a b"),
            "GET http://site:8080/a%20b HTTP/1.0\r\nHost: site:8080\r\nAccept: */*\r\n\r\n");
}

// A virtual host on a port other than 80 is found only by its port.
TEST(HttpRequest, TheHostLineNamesThePortUnlessItIs80) {
  const struct {
    const char* proxy;
    const char* host;
    const char* line;
  } cases[] = {
      {nullptr, "127.0.0.1", "Host: 127.0.0.1\r\n"},           {nullptr, "127.0.0.1:80", "Host: 127.0.0.1\r\n"},
      {nullptr, "127.0.0.1:8080", "Host: 127.0.0.1:8080\r\n"}, {"127.0.0.1", "site:80", "Host: site\r\n"},
      {"127.0.0.1", "site:81", "Host: site:81\r\n"},
  };
  for (const auto& entry : cases)
    EXPECT_NE(RequestFor(entry.proxy, entry.host, "a").find(entry.line), std::string::npos) << entry.host;
}

TEST(HttpRequest, RedirectsResolveAgainstTheUrlThatWasMoved) {
  const struct {
    const char* location;
    const char* resolved;
  } cases[] = {
      {"http://other:81/x", "http://other:81/x"}, {"//other/x", "http://other/x"}, {"/x#part", "http://site:8080/x"},
      {"x?y=/z", "http://site:8080/dir/x?y=/z"},  {"https://site/x", ""},          {"mailto:x", ""},
  };
  for (const auto& entry : cases)
    EXPECT_EQ(ResolveRedirect("http://site:8080/dir/file?to=/a/b", entry.location), entry.resolved) << entry.location;
  EXPECT_EQ(ResolveRedirect("http://site", "x"), "http://site/x");
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
