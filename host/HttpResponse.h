// Reads one HTTP/1.0 response as its blocks arrive and writes the body to
// one or two data streams.
//
// The header may arrive split over any number of blocks; it ends at the first
// empty line (CR LF or a bare LF). Only a "200" response is a body worth
// keeping: any other status, a malformed or too large Content-Length, or a
// transfer coding writes nothing and fails the transfer. Bytes beyond
// Content-Length are not part of the body and are dropped. Without a
// Content-Length the body ends when the server closes the connection, as
// HTTP/1.0 has it, and may be no larger than a declared one. A redirect
// (301, 302, 303, 307 or 308) with a Location writes nothing either: it
// fails the transfer and keeps the Location for the caller to follow.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/DataStream.h"

namespace vx::host {

// A decimal number of at most maxDigits digits with nothing around it.
std::optional<int32_t> ParseDecimal(std::string_view text, size_t maxDigits = 9);

class HttpResponseReader {
 public:
  HttpResponseReader(DataStream* output, DataStream* secondOutput);

  // Takes the next block of the response as received from the server.
  void Feed(std::span<const uint8_t> block);

  // The server closed the connection in order: the end of a body whose
  // length was not declared. A close inside a declared length changes
  // nothing: that body stays short.
  void ServerClosed() { serverClosed_ = true; }

  // Whether the response, as far as it came, is a complete body: a failed
  // header, no body, a body short of its Content-Length, or an undeclared
  // one before the server closed the connection is not.
  bool Succeeded() const;

  bool HeaderParsed() const { return headerParsed_; }
  int32_t Status() const { return status_; }
  // -1 until the header is parsed, and for a body that ends with the
  // connection.
  int32_t ContentLength() const { return contentLength_; }
  int32_t Received() const { return received_; }
  bool Failed() const { return failed_; }
  // The Location of a redirect, as the server wrote it; empty for any other
  // response.
  const std::string& RedirectLocation() const { return redirectLocation_; }

 private:
  void FeedHeader(std::span<const uint8_t> block);
  bool ParseHeader(std::string_view header);
  void WriteBody(std::span<const uint8_t> bytes);

  DataStream* output_;
  DataStream* secondOutput_;
  std::string header_;
  std::string redirectLocation_;
  bool headerParsed_ = false;
  bool failed_ = false;
  bool lengthDeclared_ = false;
  bool serverClosed_ = false;
  int32_t status_ = 0;
  int32_t contentLength_ = -1;
  int32_t received_ = 0;
};

}  // namespace vx::host
