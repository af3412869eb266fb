// JPEG pictures as media objects. A picture that is being downloaded is
// decoded while its bytes arrive: the download service keeps the body in
// memory as it comes, and each step decodes the rows those bytes allow, so
// the picture fills in from the top (an arithmetic-coded one waits for the
// whole file, since libjpeg cannot pause its decoder). Once the file is
// local (a local name, a cache hit or a finished download) the rest is
// decoded from the file.
// Every step writes at most kJpegRowsPerStep rows.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/media/MediaObject.h"
#include "engine/media/formats/jpeg/JpegDecoder.h"

namespace vx {

class CJpegMedia final : public CMediaObject {
 public:
  CJpegMedia();
  // Gives the service's memory copy of the body back before the base
  // cancels the request.
  ~CJpegMedia() override;

  MediaType GetTypeCode() const override { return MediaType::Jpeg; }
  void OnDownloadDone(int32_t message, DownloadRequest* request) override;
  int32_t PollDownload() override;
  int32_t Load() override;
  int32_t DecodeStep() override;

 protected:
  int32_t DownloadFlags() const override { return 1; }

 private:
  // Complete once the header is read and the image made.
  [[nodiscard]] DecodeStatus StartImage(std::span<const uint8_t> arrived, bool allArrived);
  [[nodiscard]] DecodeStatus DecodeRows(std::span<const uint8_t> arrived, bool allArrived);
  // The body received so far in the service's memory copy; empty while
  // there is none (a server that does not say how long the body is).
  std::span<const uint8_t> ReceivedBody(int32_t request) const;
  void GiveBackBody(int32_t request) const;
  void EndDecoding();

  std::shared_ptr<CHostComponent> service_;
  std::unique_ptr<CJpegDecoder> decoder_;
  std::vector<uint8_t> file_;
  JpegOutput output_;
  bool imageMade_ = false;
  bool finished_ = false;
};

}  // namespace vx
