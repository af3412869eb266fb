#include "engine/media/formats/png/PngDecoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <png.h>

#include "engine/media/MediaLimits.h"
#include "engine/media/formats/IndexedPixels.h"

namespace vx {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Every row is expanded to red, green, blue and alpha.
constexpr size_t kSamplesPerPixel = 4;

}  // namespace

bool HasPngSignature(std::span<const uint8_t> bytes) {
  return bytes.size() >= kSignature.size() && std::equal(kSignature.begin(), kSignature.end(), bytes.begin());
}

struct CPngDecoder::Session {
  explicit Session(std::span<const uint8_t> file) : bytes(file) {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, &Session::OnError, &Session::OnWarning);
    if (png) info = png_create_info_struct(png);
    if (!info) return;
    png_set_read_fn(png, this, &Session::ReadBytes);
    // Sizes past the limits end the read at the header, before libpng takes
    // memory for a row; ancillary chunks (profiles, compressed text) are
    // bounded too, so a small file cannot inflate into a large one.
    png_set_user_limits(png, static_cast<uint32_t>(kMaxPictureSide), static_cast<uint32_t>(kMaxPictureSide));
    png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  }
  ~Session() { png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  static void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
  static void OnWarning(png_structp, png_const_charp) {}
  static void ReadBytes(png_structp png, png_bytep out, size_t count) {
    auto* session = static_cast<Session*>(png_get_io_ptr(png));
    if (count > session->bytes.size() - session->at) png_error(png, "the file ends early");
    std::memcpy(out, session->bytes.data() + session->at, count);
    session->at += count;
  }

  // Runs the libpng calls of step with the recovery point set; false when
  // libpng reported an error. The steps keep no objects that need
  // destroying, since an error leaves them at once.
  template <typename Step>
  bool Guarded(Step step) {
    if (setjmp(png_jmpbuf(png))) return false;
    step();
    return true;
  }

  // Every colour type into 8-bit red, green, blue and alpha samples.
  void ReadHeader() {
    png_read_info(png, info);
    const png_byte colorType = png_get_color_type(png, info);
    hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, kOpaqueTexel, PNG_FILLER_AFTER);
    passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
  }

  std::span<const uint8_t> bytes;
  size_t at = 0;
  png_structp png = nullptr;
  png_infop info = nullptr;
  bool hasAlpha = false;
  int passes = 1;
  uint32_t width = 0;
  uint32_t height = 0;
};

CPngDecoder::CPngDecoder() = default;
CPngDecoder::~CPngDecoder() = default;

DecodeStatus CPngDecoder::ReadHeader(std::span<const uint8_t> bytes, bool allArrived) {
  if (bytes.empty()) return allArrived ? DecodeStatus::Missing : DecodeStatus::Pending;
  const size_t compared = std::min(bytes.size(), kSignature.size());
  if (!std::equal(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(compared), kSignature.begin()))
    return DecodeStatus::NotMyFormat;
  if (!allArrived) return DecodeStatus::Pending;
  if (bytes.size() < kSignature.size()) return DecodeStatus::Corrupt;
  session_ = std::make_unique<Session>(bytes);
  Session& session = *session_;
  if (!session.info || !session.Guarded([&] { session.ReadHeader(); })) return DecodeStatus::Corrupt;
  if (CheckPictureSize(session.width, session.height) != DecodeStatus::Complete) return DecodeStatus::Corrupt;
  size_ = PictureSize{static_cast<int32_t>(session.width), static_cast<int32_t>(session.height)};
  return DecodeStatus::Complete;
}

DecodeStatus CPngDecoder::Decode(std::span<const uint8_t> bytes, bool /*allArrived*/, const PictureWindow& window) {
  if (!session_ || size_.width == 0) return DecodeStatus::Corrupt;
  Session& session = *session_;
  session.bytes = bytes;
  if (session.at > bytes.size()) return DecodeStatus::Corrupt;
  const auto width = static_cast<size_t>(size_.width);
  const auto height = static_cast<size_t>(size_.height);
  const size_t rowBytes = width * kSamplesPerPixel;
  // Interlaced rows are filled in over several passes, so they need the
  // whole picture at once; other pictures go one row at a time.
  const bool whole = session.passes > 1;
  std::vector<uint8_t> samples(whole ? rowBytes * height : rowBytes);
  std::vector<png_bytep> rows(whole ? height : 0);
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = samples.data() + y * rowBytes;
  alpha_ = {};
  if (session.hasAlpha) alpha_ = AlphaPlane{size_.width, size_.height, std::vector<uint8_t>(width * height)};

  const PixelMap& target = window.target;
  const auto store = [&](const uint8_t* row, size_t y) {
    if (!alpha_.Empty())
      for (size_t x = 0; x < width; ++x) alpha_.values[y * width + x] = row[x * kSamplesPerPixel + 3];
    const auto line = static_cast<int32_t>(y) - window.firstRow;
    if (!target.bits || line < 0 || line >= target.height) return;
    uint8_t* out = target.Row(line);
    for (int32_t x = 0; x < target.width; ++x) {
      const uint8_t* pixel = row + static_cast<size_t>(window.firstColumn + x) * kSamplesPerPixel;
      StorePixelValue(out, x, target.bytesPerPixel,
                      RgbPixelValue(pixel[0], pixel[1], pixel[2], target.bytesPerPixel, inverseMap_));
    }
  };
  const bool read = session.Guarded([&] {
    if (!whole) {
      for (size_t y = 0; y < height; ++y) {
        png_read_row(session.png, samples.data(), nullptr);
        store(samples.data(), y);
      }
      return;
    }
    png_read_image(session.png, rows.data());
    for (size_t y = 0; y < height; ++y) store(rows[y], y);
  });
  session_.reset();
  if (read) return DecodeStatus::Complete;
  alpha_ = {};
  return DecodeStatus::Corrupt;
}

}  // namespace vx
