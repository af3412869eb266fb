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

class CHttpRequest {
 public:
  // proxyHost null or empty: connect to host directly, where "name:port"
  // picks the port (80 otherwise). path has no leading '/'. A transfer that
  // receives nothing for timeoutSeconds once connected is stopped.
  CHttpRequest(const char* proxyHost, uint16_t proxyPort, std::string_view host, std::string_view path,
               DataStream* output, DataStream* secondOutput,
               int32_t timeoutSeconds = kHttpTimeoutSeconds);
  virtual ~CHttpRequest();
  CHttpRequest(const CHttpRequest&) = delete;
  CHttpRequest& operator=(const CHttpRequest&) = delete;

  // The channel's status bits; 0 once the transfer has ended.
  uint16_t Step();

  int32_t Received() const { return response_.Received(); }
  // -1 until known; 0 when the transfer ended before any header came.
  int32_t ContentLength() const { return contentLength_; }
  // The whole body of a "200" response arrived.
  bool Succeeded() const { return response_.Succeeded(); }

  // The request text, byte for byte.
  const std::string& RequestText() const { return request_; }

 private:
  void SendRemainingRequest();
  void ReceiveBlock();
  void StopWhenStalled();

  CNMChannel channel_;
  HttpResponseReader response_;
  std::string request_;
  size_t sent_ = 0;
  int32_t contentLength_ = -1;
  int32_t timeoutSeconds_;
  uint64_t lastProgressMs_;
};

}  // namespace vx::host
