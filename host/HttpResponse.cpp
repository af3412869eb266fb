#include "host/HttpResponse.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "host/HostLimits.h"

namespace vx::host {
namespace {

// Offset just past the empty line that ends the header, if it has arrived.
// Lines end in LF with an optional CR before it.
std::optional<size_t> HeaderEnd(std::string_view text) {
  for (size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
    if (i + 1 < text.size() && text[i + 1] == '\n') return i + 2;
    if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') return i + 3;
  }
  return std::nullopt;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}


// "HTTP/1.0 200 OK" -> 200.
std::optional<int32_t> ParseStatusLine(std::string_view line) {
  if (line.substr(0, 5) != "HTTP/") return std::nullopt;
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  std::string_view rest = TrimBlanks(line.substr(blank + 1));
  return ParseDecimal(rest.substr(0, std::min(rest.find(' '), rest.size())));
}

bool IsRedirectStatus(int32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

std::optional<int32_t> ParseDecimal(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > std::min<size_t>(maxDigits, 9)) return std::nullopt;
  int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

HttpResponseReader::HttpResponseReader(DataStream* output, DataStream* secondOutput)
    : output_(output), secondOutput_(secondOutput) {}

void HttpResponseReader::Feed(std::span<const uint8_t> block) {
  if (failed_ || block.empty()) return;
  if (headerParsed_)
    WriteBody(block);
  else
    FeedHeader(block);
}

void HttpResponseReader::FeedHeader(std::span<const uint8_t> block) {
  const size_t before = header_.size();
  header_.append(reinterpret_cast<const char*>(block.data()), block.size());
  const std::optional<size_t> end = HeaderEnd(header_);
  if (!end || *end > kMaxHttpHeaderBytes) {
    failed_ = header_.size() > kMaxHttpHeaderBytes;
    return;
  }
  headerParsed_ = true;
  if (!ParseHeader(std::string_view(header_).substr(0, *end))) {
    failed_ = true;
    return;
  }
  WriteBody(block.subspan(*end - before));
  header_.clear();
}

bool HttpResponseReader::ParseHeader(std::string_view header) {
  size_t lineStart = 0;
  bool first = true;
  // A coded body (chunks) would be stored with its coding.
  bool coded = false;
  std::string_view location;
  while (lineStart < header.size()) {
    size_t lineEnd = header.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = header.size();
    const std::string_view line = TrimBlanks(header.substr(lineStart, lineEnd - lineStart));
    lineStart = lineEnd + 1;
    if (first) {
      first = false;
      status_ = ParseStatusLine(line).value_or(0);
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = TrimBlanks(line.substr(colon + 1));
    if (EqualsIgnoringCase(name, "Content-Length")) {
      lengthDeclared_ = true;
      contentLength_ = ParseDecimal(value).value_or(-1);
    } else if (EqualsIgnoringCase(name, "Location")) {
      location = value;
    } else if (EqualsIgnoringCase(name, "Transfer-Encoding")) {
      coded = coded || !EqualsIgnoringCase(value, "identity");
    }
  }
  if (IsRedirectStatus(status_)) redirectLocation_ = location;
  if (status_ != 200 || coded) return false;
  return !lengthDeclared_ || (contentLength_ >= 0 && contentLength_ <= kMaxHttpBodyBytes);
}

void HttpResponseReader::WriteBody(std::span<const uint8_t> bytes) {
  const int32_t limit = lengthDeclared_ ? contentLength_ : kMaxHttpBodyBytes;
  if (!lengthDeclared_ && bytes.size() > static_cast<size_t>(limit - received_)) {
    failed_ = true;
    return;
  }
  const int32_t wanted = static_cast<int32_t>(std::min<size_t>(bytes.size(), static_cast<size_t>(limit - received_)));
  if (wanted <= 0) return;
  for (DataStream* stream : {output_, secondOutput_}) {
    if (stream && DataStreamWrite(stream, bytes.data(), 1, wanted) != wanted) failed_ = true;
  }
  received_ += wanted;
}

bool HttpResponseReader::Succeeded() const {
  if (failed_ || !headerParsed_ || received_ <= 0) return false;
  return lengthDeclared_ ? received_ >= contentLength_ : serverClosed_;
}

}  // namespace vx::host
