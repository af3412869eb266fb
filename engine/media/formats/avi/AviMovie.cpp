#include "engine/media/formats/avi/AviMovie.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "engine/media/SharedInverseMap.h"
#include "engine/media/StillImageDecoder.h"
#include "engine/render/DibImage.h"
#include "platform/media/AviFile.h"

namespace vx {
namespace {

class CAviFrameRef final : public FrameRef {
 public:
  explicit CAviFrameRef(int32_t frame) : frame_(frame) {}
  int32_t Frame() const { return frame_; }

 private:
  int32_t frame_;
};

// The movie devices of the process: the alias numbers, how many are open,
// and the volumes found on the first one.
struct MovieDevices {
  int32_t aliases = 0;
  int32_t open = 0;
  bool saved = false;
  int32_t savedLeft = 0;
  int32_t savedRight = 0;
};

MovieDevices g_movieDevices;

uint16_t Pixel555(uint32_t xrgb) {
  return static_cast<uint16_t>(((xrgb >> 9) & 0x7C00) | ((xrgb >> 6) & 0x03E0) | ((xrgb >> 3) & 0x001F));
}

// Writes the part of a width-wide xRGB picture that the window shows, in
// the window's pixel size; 8-bit targets take the nearest palette entry.
void WritePicture(std::span<const uint32_t> picture, int32_t width, const PictureWindow& window,
                  const uint8_t* inverseMap) {
  const PixelMap& target = window.target;
  for (int32_t y = 0; y < target.height; ++y) {
    const uint32_t* source = picture.data() + static_cast<size_t>(window.firstRow + y) * static_cast<size_t>(width) +
                             window.firstColumn;
    uint8_t* row = target.Row(y);
    for (int32_t x = 0; x < target.width; ++x) {
      const uint32_t pixel = source[x] & 0x00FFFFFFu;
      switch (target.bytesPerPixel) {
        case 4: std::memcpy(row + 4 * x, &pixel, 4); break;
        case 2: {
          const uint16_t packed = Pixel555(pixel);
          std::memcpy(row + 2 * x, &packed, 2);
          break;
        }
        case 1: row[x] = inverseMap ? inverseMap[Pixel555(pixel)] : 0; break;
        default: return;
      }
    }
  }
}

}  // namespace

CAviMovie::CAviMovie(bool withVideo, MediaType type) : withVideo_(withVideo), type_(type) {}

CAviMovie::~CAviMovie() { ReleasePlayer(); }

int32_t CAviMovie::Load() {
  if (!OpenSound()) return MediaUnusable;
  std::unique_ptr<AviFile> file;
  if (AviFile::Open(LocalPath().c_str(), &file) != AviOpenResult::Opened || file->FileInfo().streamCount < 1) {
    ReleasePlayer();
    return MediaUnusable;
  }
  const AviFileInfo info = file->FileInfo();
  const int32_t frames = file->VideoInfo().length;
  file_ = std::move(file);
  if (!withVideo_) {
    MarkSoundLoaded();
  } else if (int32_t failure = MediaUnusable; !RequestImage(info.width, info.height, &failure)) {
    ReleasePlayer();
    return failure;
  }
  grid_ = FrameGrid{kFrameOrderDownColumns, static_cast<uint16_t>(std::min(frames, 0xFFFF)), 1, 1,
                    static_cast<uint16_t>(info.width), static_cast<uint16_t>(info.height)};
  gridValid_ = true;
  SetVolume(0.0f);
  return MediaComplete;
}

bool CAviMovie::OpenSound() {
  if (!OpenDevice(MediaDeviceType::AviVideo, "dgv", &g_movieDevices.aliases)) return false;
  if (MediaSetVideoOff(DeviceId()) != kMediaOk) {
    ReleasePlayer();
    return false;
  }
  if (g_movieDevices.open == 0) {
    int32_t left = 0;
    int32_t right = 0;
    if (MediaAudioStatus(Alias().c_str(), AudioChannel::Left, &left) == kMediaOk &&
        MediaAudioStatus(Alias().c_str(), AudioChannel::Right, &right) == kMediaOk) {
      g_movieDevices = {g_movieDevices.aliases, 0, true, left, right};
    }
  }
  ++g_movieDevices.open;
  soundCounted_ = true;
  return true;
}

void CAviMovie::CloseSound() {
  if (!soundCounted_) return;
  soundCounted_ = false;
  if (--g_movieDevices.open == 0 && g_movieDevices.saved) {
    MediaSetAudio(Alias().c_str(), AudioChannel::Left, g_movieDevices.savedLeft);
    MediaSetAudio(Alias().c_str(), AudioChannel::Right, g_movieDevices.savedRight);
  }
}

void CAviMovie::ReleasePlayer() {
  CloseSound();
  CPlayedMedia::ReleasePlayer();
  file_.reset();
  lastFetched_ = -1;
  lastLeft_ = -1;
  lastRight_ = -1;
}

void CAviMovie::SendLevels(const ChannelLevels& levels) {
  if (levels.left != lastLeft_) MediaSetAudio(Alias().c_str(), AudioChannel::Left, levels.left);
  lastLeft_ = levels.left;
  if (levels.right != lastRight_) MediaSetAudio(Alias().c_str(), AudioChannel::Right, levels.right);
  lastRight_ = levels.right;
}

int16_t CAviMovie::GetFrameGrid(FrameGrid* out) {
  if (out) *out = grid_;
  return gridValid_ ? 1 : 0;
}

void CAviMovie::SetFrameGrid(const FrameGrid& grid) {
  grid_ = grid;
  gridValid_ = true;
}

float CAviMovie::IsPlaying() {
  const auto position = static_cast<float>(GetPosition());
  const float duration = GetDuration();
  if (!file_ || duration <= position) return 0.0f;
  return static_cast<float>(file_->VideoInfo().length) / duration;
}

void CAviMovie::Update() {
  CPlayedMedia::Update();
  if (!withVideo_ || !IsPlayingFlagSet() || !HasDevice() || !file_ || !Image()) return;
  int64_t position = 0;
  MediaSetTimeFormat(DeviceId(), MediaTimeFormat::Frames);
  if (MediaStatus(DeviceId(), MediaStatusItem::Position, &position) != kMediaOk) return;
  // The device counts the frames whose time has begun: at position p frame
  // p is on show (frame 0 from the start), and the last one at the end.
  const auto frame = static_cast<int32_t>(std::min<int64_t>(position, file_->VideoInfo().length - 1));
  if (frame == lastFetched_) return;
  if (DrawInto(frame, *Image())) RefreshImageInfo();
  lastFetched_ = frame;
}

bool CAviMovie::DrawInto(int32_t n, CDibImage& image) {
  const std::span<const uint32_t> picture = file_->GetFrame(n);
  if (picture.empty()) return false;
  lastFetched_ = n;
  const AviFileInfo& info = file_->FileInfo();
  const PixelMap pixels = image.GetPixelMap();
  const Placement whole{0, 0, static_cast<int16_t>(info.height), static_cast<int16_t>(info.width)};
  const Placement& placement = &image == Image() ? GetPlacement() : whole;
  const PictureWindow window = WindowForPlacement(pixels, placement, {info.width, info.height});
  const uint8_t* inverseMap = nullptr;
  if (pixels.bytesPerPixel == 1) {
    PaletteTable palette;
    GetPalette(&palette);
    inverseMap = GetSharedInverseMap(palette);
  }
  WritePicture(picture, info.width, window, inverseMap);
  return true;
}

int32_t CAviMovie::SetFrameTarget(CDibImage* target) {
  frameTarget_ = target ? target : Image();
  return 0;
}

int32_t CAviMovie::ClearFrameTarget() {
  frameTarget_ = nullptr;
  return 0;
}

// A row past the last frame is refused here rather than handed out as a
// frame that can never be drawn.
std::unique_ptr<FrameRef> CAviMovie::GetFrameRef(const FramePosition& position) {
  if (!file_ || position.row < 0 || position.row >= file_->VideoInfo().length) return nullptr;
  return std::make_unique<CAviFrameRef>(position.row);
}

int32_t CAviMovie::DrawFrame(FrameRef* frame, const PixelMap* destination) {
  if (!file_ || !frameTarget_) return 2;
  if (const auto* reference = dynamic_cast<CAviFrameRef*>(frame)) DrawInto(reference->Frame(), *frameTarget_);
  if (destination) CopyPixelMap(frameTarget_->GetPixelMap(), *destination);
  return 0;
}

}  // namespace vx
