#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/HostLimits.h"
#include "host/HttpResponse.h"

namespace vx::host {
namespace {

// Feeds a response into a memory stream in blocks of blockSize; the reader
// and the body it wrote.
struct Fed {
  bool succeeded;
  bool failed;
  int32_t contentLength;
  std::string body;
};

Fed Feed(const std::string& response, size_t blockSize) {
  std::vector<uint8_t> block(256, 0);
  DataStream stream;
  DataStreamOpen(&stream, nullptr, nullptr, block.data(), static_cast<int32_t>(block.size()));
  HttpResponseReader reader(&stream, nullptr);
  for (size_t at = 0; at < response.size(); at += blockSize) {
    const size_t size = std::min(blockSize, response.size() - at);
    reader.Feed({reinterpret_cast<const uint8_t*>(response.data() + at), size});
  }
  return {reader.Succeeded(), reader.Failed(), reader.ContentLength(),
          std::string(reinterpret_cast<const char*>(block.data()), static_cast<size_t>(stream.position))};
}

TEST(HttpResponse, HeaderSplitAnywhereAndBodyKeptWhole) {
  const std::string body = "\n\nstarts with line feeds";
  for (const std::string header : {"HTTP/1.0 200 OK\r\nServer: t\r\nContent-Length: 24\r\n\r\n",
                                   "HTTP/1.0 200 OK\nContent-length:24\n\n",
                                   "HTTP/1.1 200 OK\r\nCONTENT-LENGTH:   24  \r\nX: y\r\n\r\n"}) {
    for (size_t blockSize : {1u, 7u, 4096u}) {
      const Fed fed = Feed(header + body + "beyond the length", blockSize);
      EXPECT_TRUE(fed.succeeded) << header << " in blocks of " << blockSize;
      EXPECT_EQ(fed.contentLength, 24);
      EXPECT_EQ(fed.body, body);
    }
  }
}

TEST(HttpResponse, RefusedResponsesWriteNothing) {
  for (const std::string response : {"HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
                                     "HTTP/1.0 200 OK\r\nContent-Length: 12x\r\n\r\nbad length",
                                     "HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\nhuge",
                                     "garbage\r\n\r\nbody"}) {
    const Fed fed = Feed(response, 5);
    EXPECT_TRUE(fed.failed) << response;
    EXPECT_EQ(fed.body, "");
  }
  // The body cap holds whatever the server announces: at the cap and one past it.
  const std::string atCap = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kMaxHttpBodyBytes) + "\r\n\r\nx";
  EXPECT_FALSE(Feed(atCap, 64).failed);
  for (const int64_t length : {int64_t{kMaxHttpBodyBytes} + 1, int64_t{999999999}}) {
    const Fed fed = Feed("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\nx", 64);
    EXPECT_TRUE(fed.failed) << length;
    EXPECT_EQ(fed.body, "") << length;
  }
  std::string endless = "HTTP/1.0 200 OK\r\n";
  while (endless.size() <= kMaxHttpHeaderBytes) endless += "X-Filler: " + std::string(100, 'a') + "\r\n";
  EXPECT_TRUE(Feed(endless, 1000).failed);
  EXPECT_TRUE(Feed(endless + "Content-Length: 1\r\n\r\nx", endless.size() + 64).failed)
      << "a header past the cap fails however it is split";
  EXPECT_FALSE(Feed("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", 64).succeeded);
}

}  // namespace
}  // namespace vx::host
