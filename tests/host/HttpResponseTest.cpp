#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "host/HostLimits.h"
#include "host/HttpResponse.h"

namespace vx::host {
namespace {

using namespace std::string_literals;

// Feeds a response into a memory stream in blocks of blockSize; the reader
// and the body it wrote.
struct Fed {
  bool succeeded;
  bool failed;
  int32_t contentLength;
  std::string body;
};

enum class Close { No, AtTheEnd };

Fed Feed(const std::string& response, size_t blockSize, Close close = Close::No) {
  std::vector<uint8_t> block(256, 0);
  DataStream stream;
  DataStreamOpen(&stream, nullptr, nullptr, block.data(), static_cast<int32_t>(block.size()));
  HttpResponseReader reader(&stream, nullptr);
  for (size_t at = 0; at < response.size(); at += blockSize) {
    const size_t size = std::min(blockSize, response.size() - at);
    reader.Feed({reinterpret_cast<const uint8_t*>(response.data() + at), size});
  }
  if (close == Close::AtTheEnd) reader.ServerClosed();
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

TEST(HttpResponse, ABodyWithoutALengthEndsWhenTheServerClosesAndADeclaredOneMustBeWhole) {
  const std::string body = "\r\n\r\nbinary \0 bytes, and blank lines"s;
  for (const std::string header : {"HTTP/1.0 200 OK\r\nServer: t\r\n\r\n", "HTTP/1.0 200 OK\n\n",
                                   "HTTP/1.0 200 OK\r\nTransfer-Encoding: identity\r\n\r\n"}) {
    for (size_t blockSize : {1u, 7u, 4096u}) {
      SCOPED_TRACE(testing::Message() << header << " in blocks of " << blockSize);
      const Fed open = Feed(header + body, blockSize);
      EXPECT_FALSE(open.succeeded) << "not before the close";
      EXPECT_FALSE(open.failed);
      const Fed closed = Feed(header + body, blockSize, Close::AtTheEnd);
      EXPECT_TRUE(closed.succeeded);
      EXPECT_EQ(closed.contentLength, -1);
      EXPECT_EQ(closed.body, body);
    }
  }
  EXPECT_FALSE(Feed("HTTP/1.0 200 OK\r\n\r\n", 64, Close::AtTheEnd).succeeded) << "no body at all";
  EXPECT_FALSE(Feed("HTTP/1.0 200 OK\r\nContent-Length: 50\r\n\r\nten bytes.", 64, Close::AtTheEnd).succeeded)
      << "a close inside the declared length";
  EXPECT_FALSE(Feed("HTTP/1.0 200 OK\r\nConte", 64, Close::AtTheEnd).succeeded) << "a close inside the header";
  EXPECT_TRUE(Feed("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", 64, Close::No).succeeded)
      << "a declared body is whole without the close";
}

TEST(HttpResponse, ABodyWithoutALengthStopsAtTheBodyCap) {
  HttpResponseReader reader(nullptr, nullptr);
  const std::string header = "HTTP/1.0 200 OK\r\n\r\n";
  reader.Feed({reinterpret_cast<const uint8_t*>(header.data()), header.size()});
  const std::vector<uint8_t> block(1024 * 1024, 'b');
  for (int32_t fed = 0; fed < kMaxHttpBodyBytes; fed += static_cast<int32_t>(block.size())) reader.Feed(block);
  EXPECT_FALSE(reader.Failed()) << "at the cap";
  EXPECT_EQ(reader.Received(), kMaxHttpBodyBytes);
  reader.Feed(std::span<const uint8_t>(block).first(1));
  reader.ServerClosed();
  EXPECT_TRUE(reader.Failed()) << "one byte past it";
  EXPECT_FALSE(reader.Succeeded());
  EXPECT_EQ(reader.Received(), kMaxHttpBodyBytes);
}

TEST(HttpResponse, RefusedResponsesWriteNothing) {
  for (const std::string response : {"HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
                                     "HTTP/1.0 200 OK\r\nContent-Length: 12x\r\n\r\nbad length",
                                     "HTTP/1.0 200 OK\r\nContent-Length:\r\n\r\nno length value",
                                     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n0\r\n\r\n",
                                     "HTTP/1.0 404 Not Found\r\n\r\nnot found, no length",
                                     "HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\nhuge",
                                     "garbage\r\n\r\nbody"}) {
    const Fed fed = Feed(response, 5, Close::AtTheEnd);
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
