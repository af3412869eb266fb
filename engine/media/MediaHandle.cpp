#include "engine/media/MediaHandle.h"

#include <cstring>
#include <string>

#include "engine/hostlink/HostComponent.h"

namespace vx {

CMediaHandle::CMediaHandle(std::unique_ptr<CMediaObject> media) : media_(std::move(media)) {}

CMediaHandle::~CMediaHandle() = default;

int32_t CMediaHandle::Process() { return media_ ? media_->Process() : 0; }

uint16_t CMediaHandle::HasImage() const { return media_ ? media_->HasImage() : 0; }

void CMediaHandle::SetPalette(const PaletteTable* palette) {
  if (media_) media_->SetPalette(palette);
}

void CMediaHandle::GetPalette(PaletteTable* out) const {
  if (media_) media_->GetPalette(out);
}

MediaType CMediaHandle::GetTypeCode() const { return media_ ? media_->GetTypeCode() : MediaType::None; }

uint32_t CMediaHandle::SetUrl(const char* name) { return media_ ? media_->SetUrl(name) : 0; }

uint32_t CMediaHandle::GetUrl(char* out) const { return media_ ? media_->GetUrl(out) : 0; }

void CMediaHandle::GetProgressText(char* out) const {
  if (!out) return;
  const std::string text = DownloadProgressText();
  std::memcpy(out, text.c_str(), text.size() + 1);
}

void CMediaHandle::SetPixelDepth(int32_t bits) {
  if (media_) media_->SetPixelDepth(bits);
}

int32_t CMediaHandle::GetPixelDepth() const { return media_ ? media_->GetPixelDepth() : 0; }

int32_t CMediaHandle::GetImageInfo(MediaImageInfo* out) const {
  return media_ ? media_->GetImageInfo(out) : kMediaNoAnswer;
}

void CMediaHandle::SetFillColor(const FloatColor& color) {
  if (media_) media_->SetFillColor(color);
}

void CMediaHandle::SetFrameCallback(const MediaCallback& callback) {
  if (media_) media_->SetFrameCallback(callback);
}

void CMediaHandle::SetNotify(const MediaCallback& callback) {
  if (media_) media_->SetNotify(callback);
}

void CMediaHandle::SetMaskColor(const FloatColor& color) {
  if (media_) media_->SetMaskColor(color);
}

void CMediaHandle::SetWorldTime(double seconds) {
  if (media_) media_->SetWorldTime(seconds);
}

void CPlaybackHandle::Rewind() {
  if (media_) media_->Rewind();
}

void CPlaybackHandle::Play() {
  if (media_) media_->Play();
}

void CPlaybackHandle::Stop() {
  if (media_) media_->Stop();
}

int32_t CPlaybackHandle::GetPosition() const { return media_ ? media_->GetPosition() : 0; }

float CPlaybackHandle::GetDuration() const { return media_ ? media_->GetDuration() : 0.0f; }

float CPlaybackHandle::IsPlaying() const { return media_ ? media_->IsPlaying() : 0.0f; }

void CPlaybackHandle::SetVolume(float volume) {
  if (media_) media_->SetVolume(volume);
}

void CPlaybackHandle::SetBalance(float balance) {
  if (media_) media_->SetBalance(balance);
}

int32_t CPlaybackHandle::GetPlayFlag() const { return media_ ? media_->GetPlayFlag() : 0; }

}  // namespace vx
