#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/HttpResponse.h"
#include "host/HostLimits.h"

namespace vx::host {
namespace {

// Feeds a response into a memory stream, in blocks of the given size.
class ResponseFixture {
 public:
  ResponseFixture() : block_(256, 0) {
    DataStreamOpen(&stream_, nullptr, nullptr, block_.data(), static_cast<int32_t>(block_.size()));
  }

  HttpResponseReader& Feed(const std::string& response, size_t blockSize) {
    for (size_t at = 0; at < response.size(); at += blockSize) {
      const std::string piece = response.substr(at, blockSize);
      reader_.Feed({reinterpret_cast<const uint8_t*>(piece.data()), piece.size()});
    }
    return reader_;
  }

  std::string Body() const {
    return std::string(reinterpret_cast<const char*>(block_.data()), stream_.position);
  }

 private:
  std::vector<uint8_t> block_;
  DataStream stream_;
  HttpResponseReader reader_{&stream_, nullptr};
};

TEST(HttpResponse, BodyIsKeptWhateverTheBlocksAndLineEnds) {
  const std::string body = "\n\nstarts with line feeds";
  const std::string headers[] = {
      "HTTP/1.0 200 OK\r\nServer: t\r\nContent-Length: 24\r\n\r\n",
      "HTTP/1.0 200 OK\nContent-length:24\n\n",
      "HTTP/1.1 200 OK\r\nCONTENT-LENGTH:   24  \r\nX: y\r\n\r\n",
  };
  for (const std::string& header : headers) {
    for (size_t blockSize : {1u, 7u, 4096u}) {
      ResponseFixture fixture;
      HttpResponseReader& reader = fixture.Feed(header + body, blockSize);
      EXPECT_TRUE(reader.HeaderParsed());
      EXPECT_EQ(reader.ContentLength(), 24);
      EXPECT_EQ(reader.Received(), 24);
      EXPECT_TRUE(reader.Succeeded()) << header << " in blocks of " << blockSize;
      EXPECT_EQ(fixture.Body(), body);
    }
  }
}

TEST(HttpResponse, ErrorPagesAndMissingLengthsWriteNothing) {
  const std::string responses[] = {
      "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
      "HTTP/1.0 200 OK\r\n\r\nno length given",
      "HTTP/1.0 200 OK\r\nContent-Length: 12x\r\n\r\nbad length",
      "HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\nhuge",
      "garbage\r\n\r\nbody",
  };
  for (const std::string& response : responses) {
    ResponseFixture fixture;
    HttpResponseReader& reader = fixture.Feed(response, 5);
    EXPECT_FALSE(reader.Succeeded()) << response;
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(reader.Received(), 0);
    EXPECT_EQ(fixture.Body(), "");
  }
}

TEST(HttpResponse, ShortBodyFailsAndExtraBytesAreDropped) {
  ResponseFixture shortBody;
  EXPECT_FALSE(shortBody.Feed("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n12345", 64).Succeeded());

  ResponseFixture longBody;
  HttpResponseReader& reader = longBody.Feed("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", 2);
  EXPECT_TRUE(reader.Succeeded());
  EXPECT_EQ(reader.Received(), 3);
  EXPECT_EQ(longBody.Body(), "abc");

  ResponseFixture empty;
  EXPECT_FALSE(empty.Feed("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", 64).Succeeded());
}

TEST(HttpResponse, EndlessHeaderFails) {
  ResponseFixture fixture;
  const std::string line = "X-Filler: " + std::string(100, 'a') + "\r\n";
  std::string response = "HTTP/1.0 200 OK\r\n";
  while (response.size() <= kMaxHttpHeaderBytes) response += line;
  HttpResponseReader& reader = fixture.Feed(response, 1000);
  EXPECT_TRUE(reader.Failed());
  EXPECT_FALSE(reader.HeaderParsed());
}

}  // namespace
}  // namespace vx::host
