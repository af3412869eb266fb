// One HTTP/1.0 GET over a channel, directly or through a proxy, stepped by
// the download manager once per poll until the channel is idle again. The
// response body goes to a data stream (and to an optional second one).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/ChannelLimits.h"
#include "common/DataStream.h"
#include "common/NMChannel.h"
#include "host/HostLimits.h"
#include "host/HttpResponse.h"

namespace vx::host {

// How long a transfer may take: it is stopped when nothing arrives for
// stallMs once connected, and when, from rateGraceMs after its start, a
// window of rateWindowMs brings fewer than minBytesPerSecond on average.
// Tests shorten them.
struct TransferLimits {
  int32_t stallMs = kHttpTimeoutSeconds * 1000;
  int32_t rateGraceMs = kHttpRateGraceSeconds * 1000;
  int32_t rateWindowMs = kHttpRateWindowSeconds * 1000;
  int32_t minBytesPerSecond = kHttpMinBytesPerSecond;
};

inline constexpr uint16_t kDefaultHttpPort = 80;

// Bytes below 0x20 and 0x7F: no URL, path or request line may hold one.
bool HasControlBytes(std::string_view text);

// Whether host and path can go into a request as they are: control bytes
// would end its lines early and add lines of the sender's choosing, and a
// host name holds no blank.
bool IsSafeRequestTarget(std::string_view host, std::string_view path);

// The URL a redirect from url to location names: location itself when it is
// an "http://" URL, else resolved against url ("//host/path", "/path" or a
// path relative to url's folder); its fragment is left out. Empty when
// location names another scheme, which this client does not speak.
std::string ResolveRedirect(std::string_view url, std::string_view location);

class CHttpRequest {
 public:
  // proxyHost null or empty: connect to host directly, where "name:port"
  // picks the port (80 otherwise). The Host line names the port whenever it
  // is not 80, so that a virtual host on another port is found. path has no leading '/'; its blanks are
  // sent as "%20". A host or path that is not safe (above) sends nothing:
  // the transfer ends at the first step with nothing received.
  CHttpRequest(const char* proxyHost, uint16_t proxyPort, std::string_view host, std::string_view path,
               DataStream* output, DataStream* secondOutput, const TransferLimits& limits = {});
  virtual ~CHttpRequest();
  CHttpRequest(const CHttpRequest&) = delete;
  CHttpRequest& operator=(const CHttpRequest&) = delete;

  // The channel's status bits; 0 once the transfer has ended.
  uint16_t Step();

  int32_t Received() const { return response_.Received(); }
  // -1 until known, and for a body that ends with the connection; 0 when
  // the transfer ended before any header came.
  int32_t ContentLength() const { return contentLength_; }
  // The whole body of a "200" response arrived: as long as it said, or,
  // when it did not say, until the server closed the connection in order.
  bool Succeeded() const { return response_.Succeeded(); }
  // The status line's code; 0 until a header came.
  int32_t Status() const { return response_.Status(); }

  // Where a redirect sends the client, as the server wrote it; empty for
  // any other response.
  const std::string& RedirectLocation() const { return response_.RedirectLocation(); }

  // The request text, byte for byte; empty when the target was refused.
  const std::string& RequestText() const { return request_; }

 private:
  void SendRemainingRequest();
  void ReceiveBlock();
  void StopWhenStalled();
  void StopWhenTooSlow();

  CNMChannel channel_;
  HttpResponseReader response_;
  std::string request_;
  size_t sent_ = 0;
  int32_t contentLength_ = -1;
  TransferLimits limits_;
  uint64_t startMs_;
  uint64_t lastProgressMs_;
  uint64_t bytesIn_ = 0;           // everything read from the server, header included
  uint64_t windowStartMs_;
  uint64_t windowStartBytes_ = 0;
};

}  // namespace vx::host
