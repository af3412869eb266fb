#include "host/HttpRequest.h"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/Clock.h"

namespace vx::host {
namespace {

// Worlds name their files the way people do ("my texture.jpg").
std::string EscapeBlanks(std::string_view path) {
  std::string escaped;
  for (char c : path) {
    if (c == ' ')
      escaped += "%20";
    else
      escaped += c;
  }
  return escaped;
}

std::string BuildRequestText(bool viaProxy, std::string_view host, std::string_view path) {
  std::string text = "GET ";
  if (viaProxy) text.append("http://").append(host);
  text.append("/").append(EscapeBlanks(path)).append(" HTTP/1.0\r\n");
  text.append("Host: ").append(host).append("\r\n");
  text.append("Accept: */*\r\n\r\n");
  return text;
}

// "name:8080" -> 8080; nothing when the port is not a number from 1 to 65535.
std::optional<uint16_t> PortAfterColon(std::string_view digits) {
  const std::optional<int32_t> port = ParseDecimal(digits, 5);
  if (!port || *port == 0 || *port > 65535) return std::nullopt;
  return static_cast<uint16_t>(*port);
}

}  // namespace

std::string ResolveRedirect(std::string_view url, std::string_view location) {
  constexpr std::string_view kScheme = "http:";
  location = location.substr(0, location.find('#'));
  if (location.starts_with("//")) return std::string(kScheme) + std::string(location);
  const size_t colon = location.find(':');
  if (colon != std::string_view::npos && colon < location.find_first_of("/?")) {
    return location.substr(0, colon + 1) == kScheme && location.substr(colon + 1).starts_with("//")
               ? std::string(location)
               : std::string();
  }
  const size_t hostStart = url.find("//");
  if (hostStart == std::string_view::npos) return {};
  const size_t pathStart = std::min(url.find('/', hostStart + 2), url.size());
  if (location.starts_with('/')) return std::string(url.substr(0, pathStart)) + std::string(location);
  const std::string_view withoutQuery = url.substr(0, std::min(url.find('?', pathStart), url.size()));
  const size_t folderEnd = withoutQuery.rfind('/');
  const std::string folder = folderEnd == std::string_view::npos || folderEnd < pathStart
                                 ? std::string(url.substr(0, pathStart)) + "/"
                                 : std::string(withoutQuery.substr(0, folderEnd + 1));
  return folder + std::string(location);
}

bool HasControlBytes(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool IsSafeRequestTarget(std::string_view host, std::string_view path) {
  return !HasControlBytes(host) && host.find(' ') == std::string_view::npos && !HasControlBytes(path);
}

CHttpRequest::CHttpRequest(const char* proxyHost, uint16_t proxyPort, std::string_view host,
                           std::string_view path, DataStream* output, DataStream* secondOutput,
                           const TransferLimits& limits)
    : response_(output, secondOutput), limits_(limits), startMs_(NowMs()), lastProgressMs_(startMs_),
      windowStartMs_(startMs_) {
  if (!IsSafeRequestTarget(host, path)) return;
  const bool viaProxy = proxyHost && *proxyHost;
  std::string_view serverName = host;
  uint16_t port = kDefaultHttpPort;
  if (const size_t colon = host.find(':'); colon != std::string_view::npos) {
    serverName = host.substr(0, colon);
    // A port that is no port leaves the channel without a host: it will not open.
    const std::optional<uint16_t> parsed = PortAfterColon(host.substr(colon + 1));
    port = parsed.value_or(0);
    if (!parsed) serverName = {};
  }
  if (viaProxy) {
    channel_.SetRemoteHost(proxyHost);
    channel_.SetRemotePort(proxyPort);
  } else {
    channel_.SetRemoteHost(serverName);
    channel_.SetRemotePort(port);
  }
  const std::string hostLine =
      viaProxy && serverName.empty()
          ? std::string(host)
          : std::string(serverName) + (port == kDefaultHttpPort ? "" : ":" + std::to_string(port));
  request_ = BuildRequestText(viaProxy, hostLine, path);
  channel_.SetTimeout(kDefaultChannelTimeoutSeconds);
  static_cast<void>(channel_.Open());
}

CHttpRequest::~CHttpRequest() { ReceiveBlock(); }

// A send that would block is tried again at the next step.
void CHttpRequest::SendRemainingRequest() {
  auto length = static_cast<int32_t>(request_.size() - sent_);
  if (channel_.Send(request_.data() + sent_, &length) != kTransferOk || length <= 0) return;
  sent_ += static_cast<size_t>(length);
  lastProgressMs_ = NowMs();
}

void CHttpRequest::ReceiveBlock() {
  std::array<uint8_t, kChannelBufferBytes> block;
  auto length = static_cast<int32_t>(block.size());
  if (channel_.Receive(block.data(), &length) != kTransferOk || length <= 0) return;
  lastProgressMs_ = NowMs();
  bytesIn_ += static_cast<uint64_t>(length);
  response_.Feed({block.data(), static_cast<size_t>(length)});
  if (response_.HeaderParsed()) contentLength_ = response_.ContentLength();
}

// An open connection has no time-out of its own: a server that stops
// sending would hold the transfer forever.
void CHttpRequest::StopWhenStalled() {
  if (limits_.stallMs < 0 || !channel_.IsOpen()) return;
  if (NowMs() - lastProgressMs_ >= static_cast<uint64_t>(limits_.stallMs)) channel_.Abort();
}

// Windows follow one another from the connection on; each that starts after
// the grace period (counted from the start) must have brought its share.
void CHttpRequest::StopWhenTooSlow() {
  const uint64_t now = NowMs();
  if (!channel_.IsOpen()) {
    windowStartMs_ = now;
    windowStartBytes_ = bytesIn_;
    return;
  }
  if (limits_.rateWindowMs <= 0) return;
  const auto window = static_cast<uint64_t>(limits_.rateWindowMs);
  if (now - windowStartMs_ < window) return;
  const uint64_t wanted = static_cast<uint64_t>(std::max(limits_.minBytesPerSecond, 0)) * window / 1000;
  const bool pastGrace = windowStartMs_ - startMs_ >= static_cast<uint64_t>(std::max(limits_.rateGraceMs, 0));
  if (pastGrace && bytesIn_ - windowStartBytes_ < wanted) {
    channel_.Abort();
    return;
  }
  windowStartMs_ = now;
  windowStartBytes_ = bytesIn_;
}

uint16_t CHttpRequest::Step() {
  channel_.Poll();
  StopWhenStalled();
  StopWhenTooSlow();
  const uint16_t status = channel_.GetStatus();
  if (status == 0 && channel_.ClosedByPeer()) response_.ServerClosed();
  if (status == 0 && contentLength_ != 0 && Received() == 0) contentLength_ = 0;
  if (channel_.State() == ChannelState::Open && sent_ < request_.size())
    SendRemainingRequest();
  else if (channel_.IsOpen() && (status & kChannelHasData))
    ReceiveBlock();
  // Nothing more is wanted once the body is whole or the response refused.
  if (response_.Failed() || response_.Succeeded()) channel_.Abort();
  return status;
}

}  // namespace vx::host
