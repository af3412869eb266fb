#include "engine/media/formats/quicktime/QuickTimeMovie.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "engine/media/formats/quicktime/QuickTimePicture.h"
#include "engine/render/DibImage.h"

namespace vx {
namespace {

constexpr uint32_t kVideo = FourCharCode("vide");
constexpr uint32_t kPanoramaTrack = FourCharCode("STpn");
constexpr uint32_t kObjectNavigation = FourCharCode("NAVG");
constexpr uint32_t kFrameLayout = FourCharCode("REAL");
// Bytes an item must have for the fields read from it.
constexpr size_t kNavigationBytes = 12;
constexpr size_t kLayoutBytes = 8;
constexpr int32_t kVolumeOne = 256;
constexpr int32_t kRateShift = 16;

bool IsOtherVisual(uint32_t type) {
  return type == FourCharCode("mpeg") || type == FourCharCode("m1v ") || type == FourCharCode("text");
}

bool IsVisual(uint32_t type) { return type == kVideo || IsOtherVisual(type); }

uint16_t Big16(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// A float read from a file, truncated toward zero; one that no integer
// holds counts as 0.
int32_t TruncatedBigFloat(const std::vector<uint8_t>& bytes, size_t at) {
  const uint32_t word = (static_cast<uint32_t>(Big16(bytes, at)) << 16) | Big16(bytes, at + 2);
  const auto value = static_cast<double>(std::bit_cast<float>(word));
  if (!std::isfinite(value) || std::fabs(value) >= static_cast<double>(std::numeric_limits<int32_t>::max())) return 0;
  return static_cast<int32_t>(value);
}

uint16_t GridCount(uint32_t count) { return static_cast<uint16_t>(std::min<uint32_t>(count, 0xFFFF)); }

class CQuickTimeFrameRef final : public FrameRef {
 public:
  explicit CQuickTimeFrameRef(std::unique_ptr<QtPicture> picture) : picture_(std::move(picture)) {}
  const QtPicture& Picture() const { return *picture_; }

 private:
  std::unique_ptr<QtPicture> picture_;
};

}  // namespace

CQuickTimeMovie::CQuickTimeMovie(bool withVideo) : withVideo_(withVideo) {}

CQuickTimeMovie::~CQuickTimeMovie() {
  Stop();
  Close();
}

void CQuickTimeMovie::Close() {
  controller_.reset();
  movie_.reset();
  pictures_.reset();
  hasVisualMedia_ = false;
  frameDuration_ = 0;
  frameCount_ = 0;
  frameWidth_ = 0;
  frameHeight_ = 0;
  drawnTime_ = -1;
  rotation_ = 0;
  panorama_ = false;
  gridValid_ = false;
  otherVisualMedia_ = false;
}

int32_t CQuickTimeMovie::Load() {
  Close();
  if (QuickTime().OpenMovie(LocalPath().c_str(), &movie_) != kQuickTimeOk || !movie_) {
    movie_.reset();
    return MediaUnusable;
  }
  PassTracks();
  if (!withVideo_) HideVisualTracks();
  Prepare();
  const int32_t visualTrack = ChooseVisualTrack();
  // Without a picture source the movie still plays its sound and keeps its
  // time; it only draws nothing.
  if (QuickTime().OpenMovie(LocalPath().c_str(), &pictures_) != kQuickTimeOk) pictures_.reset();
  HideVisualTracks();
  if (visualTrack == 0) {
    MarkSoundLoaded();
    return MediaComplete;
  }
  if (!otherVisualMedia_ && !ReadFrameTiming(visualTrack)) {
    Close();
    return MediaUnusable;
  }
  frameWidth_ = static_cast<int16_t>(box_.right - box_.left);
  frameHeight_ = static_cast<int16_t>(box_.bottom - box_.top);
  hasVisualMedia_ = frameWidth_ != 0 && frameHeight_ != 0;
  // A movie that gets no image still plays; it draws nothing.
  if (hasVisualMedia_) {
    int32_t failure = 0;
    static_cast<void>(RequestImage(frameWidth_, frameHeight_, &failure));
  }
  SetUpFrameGrid();
  MarkSoundLoaded();
  return MediaComplete;
}

void CQuickTimeMovie::PassTracks() {
  for (int32_t track = 1; track <= movie_->TrackCount(); ++track) {
    const uint32_t type = movie_->TrackMediaType(track);
    if (type == kPanoramaTrack) {
      panorama_ = true;
      movie_->EnableTrack(track, false);
    } else if (IsVisual(type)) {
      movie_->EnableTrack(track, true);
    }
  }
}

void CQuickTimeMovie::HideVisualTracks() {
  if (!movie_) return;
  for (int32_t track = 1; track <= movie_->TrackCount(); ++track)
    if (IsVisual(movie_->TrackMediaType(track))) movie_->EnableTrack(track, false);
}

void CQuickTimeMovie::Prepare() {
  preferredRate_ = movie_->PreferredRate();
  box_ = movie_->Box();
  controller_ = movie_->NewController(box_);
  timeScale_ = movie_->TimeScale();
  duration_ = movie_->Duration();
  movie_->SetBox(box_);
  if (!controller_) return;
  controller_->Play(0);
  controller_->GoToTime(0);
}

// A later track that qualifies replaces an earlier one, and the kind of
// media follows the track chosen.
int32_t CQuickTimeMovie::ChooseVisualTrack() {
  int32_t chosen = 0;
  otherVisualMedia_ = false;
  for (int32_t track = 1; track <= movie_->TrackCount(); ++track) {
    const uint32_t type = movie_->TrackMediaType(track);
    if (!IsVisual(type)) continue;
    chosen = track;
    otherVisualMedia_ = type != kVideo;
  }
  return chosen;
}

bool CQuickTimeMovie::ReadFrameTiming(int32_t track) {
  if (movie_->FirstSampleDuration(track, &frameDuration_) != kQuickTimeOk) return false;
  if (std::vector<uint8_t> navigation; FindUserData(kObjectNavigation, kNavigationBytes, &navigation))
    frameDuration_ = Big16(navigation, 10);
  // A frame duration of 0 divides nothing: such a movie has no frames.
  frameCount_ = frameDuration_ != 0 ? duration_ / frameDuration_ : 0;
  return true;
}

bool CQuickTimeMovie::FindUserData(uint32_t type, size_t size, std::vector<uint8_t>* bytes) {
  return movie_->UserDataItem(type, bytes) && bytes->size() >= size;
}

void CQuickTimeMovie::SetUpFrameGrid() {
  const auto width = static_cast<uint16_t>(frameWidth_);
  const auto height = static_cast<uint16_t>(frameHeight_);
  if (std::vector<uint8_t> layout; FindUserData(kFrameLayout, kLayoutBytes, &layout)) {
    grid_ = FrameGrid{kFrameOrderAlongRows, Big16(layout, 2), Big16(layout, 0), 1, height, width};
    rotation_ = TruncatedBigFloat(layout, 4);
  } else if (panorama_) {
    grid_ = FrameGrid{kFrameOrderAlongRows, 1, GridCount(frameCount_), 1, height, width};
    rotation_ = kPanoramaMovieRotation;
  } else {
    grid_ = FrameGrid{kFrameOrderDownColumns, GridCount(frameCount_), 1, 1, width, height};
  }
  gridValid_ = true;
}

int16_t CQuickTimeMovie::GetFrameGrid(FrameGrid* out) {
  if (out) *out = grid_;
  return gridValid_ ? 1 : 0;
}

void CQuickTimeMovie::SetFrameGrid(const FrameGrid& grid) { grid_ = grid; }

// Going to a time shows its picture at once, as the toolbox's controller
// does: a looping movie that starts over within a step then shows its
// first frame rather than the one a step later.
void CQuickTimeMovie::Rewind() {
  if (!controller_) return;
  controller_->GoToTime(0);
  DrawCurrentPicture();
}

void CQuickTimeMovie::Play() {
  if (controller_) controller_->Play(preferredRate_);
}

void CQuickTimeMovie::Stop() {
  if (controller_) controller_->Play(0);
}

int32_t CQuickTimeMovie::GetPosition() { return movie_ ? static_cast<int32_t>(movie_->CurrentTime()) : 0; }

float CQuickTimeMovie::GetDuration() {
  if (timeScale_ <= 0) return 0.0f;
  return static_cast<float>(static_cast<double>(duration_) / timeScale_);
}

float CQuickTimeMovie::IsPlaying() {
  if (!movie_ || !controller_) return 0.0f;
  const uint32_t time = movie_->CurrentTime();
  const uint32_t duration = movie_->Duration();
  int32_t rate = controller_->PlayRate();
  if (rate != 0 && duration <= time) rate = 0;
  return static_cast<float>(rate >> kRateShift);
}

// Only the low 16 bits of the whole part go out, as the controller's 8.8
// volume takes them; values beyond any integer are held at the largest.
void CQuickTimeMovie::SetVolume(float volume) {
  if (!controller_) return;
  const double scaled = std::isnan(volume) ? 0.0 : static_cast<double>(volume) * kVolumeOne;
  const double held = std::clamp(scaled, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                 static_cast<double>(std::numeric_limits<int32_t>::max()));
  const auto whole = static_cast<int32_t>(std::trunc(held));
  controller_->SetVolume(static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(whole) & 0xFFFF)));
}

void CQuickTimeMovie::Update() {
  if (controller_) controller_->Idle();
  DrawCurrentPicture();
}

// The picture goes where the image's placement puts it, which a notify
// callback may have moved.
void CQuickTimeMovie::DrawCurrentPicture() {
  if (!hasVisualMedia_ || !pictures_ || !movie_ || !Image()) return;
  const uint32_t time = movie_->CurrentTime();
  if (static_cast<int64_t>(time) == drawnTime_) return;
  const std::unique_ptr<QtPicture> picture = pictures_->PictureAt(time);
  if (!picture) return;
  const Placement& placement = GetPlacement();
  const QtRect rect{placement.columnOffset, placement.rowOffset, placement.columnOffset + placement.width,
                    placement.rowOffset + placement.height};
  PaletteTable palette;
  GetPalette(&palette);
  if (!DrawQtPicture(*picture, Image()->GetPixelMap(), rect, palette)) return;
  drawnTime_ = time;
  RefreshImageInfo();
}

// An index equal to the frame count is served: it shows the movie's end.
std::unique_ptr<FrameRef> CQuickTimeMovie::GetFrameRef(const FramePosition& position) {
  if (!pictures_) return nullptr;
  const int64_t row = position.row;
  int64_t column = position.column;
  if (panorama_) column = static_cast<int64_t>(grid_.framesAcross) - column - 1;
  const int64_t index = grid_.order == kFrameOrderAlongRows ? row * grid_.framesAcross + column
                                                            : column * grid_.framesDown + row;
  if (index < 0 || index > static_cast<int64_t>(frameCount_)) return nullptr;
  const uint64_t time = static_cast<uint64_t>(frameDuration_) * static_cast<uint64_t>(index);
  std::unique_ptr<QtPicture> picture =
      pictures_->PictureAt(static_cast<uint32_t>(std::min<uint64_t>(time, std::numeric_limits<uint32_t>::max())));
  if (!picture) return nullptr;
  return std::make_unique<CQuickTimeFrameRef>(std::move(picture));
}

int32_t CQuickTimeMovie::DrawFrame(FrameRef* frame, const PixelMap* destination) {
  const auto* reference = dynamic_cast<CQuickTimeFrameRef*>(frame);
  CDibImage* image = FrameTarget().Image() ? FrameTarget().Image() : Image();
  if (!reference || !FrameTarget().IsSet() || !image) return 2;
  const PixelMap target = image->GetPixelMap();
  PaletteTable palette;
  GetPalette(&palette);
  const bool drawn = DrawQtPicture(reference->Picture(), target, {0, 0, target.width, target.height}, palette);
  if (destination) {
    if (rotation_ != 0)
      RotatePixelMap90(target, *destination);
    else
      CopyPixelMap(target, *destination);
  }
  return drawn ? 0 : 2;
}

}  // namespace vx
