// JPEG pictures decoded from local files into images of every pixel size.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/media/SharedInverseMap.h"
#include "engine/media/formats/jpeg/JpegDecoder.h"
#include "engine/media/formats/jpeg/JpegMedia.h"
#include "engine/render/DibImage.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using test::JpegKind;

using test::IsFinal;
using test::kFillBlue;
using test::kTolerance;

class JpegFile : public ::testing::Test {
 protected:
  JpegFile() { ResetSharedInverseMap(); }

  std::unique_ptr<CJpegMedia> Open(const std::string& name, const std::string& content, int32_t depth,
                                   const PaletteTable* palette = nullptr) const {
    const std::string path = folder_.Write(name, content);
    auto media = std::make_unique<CJpegMedia>();
    media->SetPixelDepth(depth);
    media->SetPalette(palette);
    media->SetFillColor(FloatColor{0.0f, 0.0f, 1.0f});
    EXPECT_EQ(media->SetUrl(path.c_str()), 0u);
    return media;
  }

  // Steps to a final state (bounded); the states in order.
  static std::vector<int32_t> RunToEnd(CMediaObject& media) {
    std::vector<int32_t> states;
    for (int step = 0; step < 10000 && (states.empty() || !IsFinal(states.back())); ++step)
      states.push_back(media.Process());
    return states;
  }

  static PixelMap Image(const CMediaObject& media) {
    MediaImageInfo info;
    EXPECT_EQ(media.GetImageInfo(&info), 0);
    return info;
  }

  test::TemporaryFolder folder_{"vxmedia"};
};

uint32_t Expected(const test::TestPicture& picture, JpegKind kind, int x, int y) {
  if (kind != JpegKind::Grey) return picture.At(x, y);
  const uint32_t grey = test::GreyOf(picture.At(x, y));
  return (grey << 16) | (grey << 8) | grey;
}

TEST_F(JpegFile, EveryKindOfFileDecodesTo32BitPixels) {
  const test::TestPicture picture = test::Gradient(48, 40);
  for (JpegKind kind : {JpegKind::Baseline, JpegKind::Progressive, JpegKind::Grey, JpegKind::Ink}) {
    SCOPED_TRACE(static_cast<int>(kind));
    auto media = Open("pic.jpg", test::CompressJpeg(picture, kind), 32);
    ASSERT_EQ(RunToEnd(*media).back(), MediaComplete);
    const PixelMap image = Image(*media);
    ASSERT_EQ(image.width, 48);
    ASSERT_EQ(image.height, 40);
    int misses = 0;
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x) {
        const uint32_t pixel = test::Xrgb32At(image, x, y);
        if (!test::NearXrgb(pixel, Expected(picture, kind, x, y), kTolerance)) ++misses;
        if (kind == JpegKind::Grey && ((pixel >> 16) != (pixel & 0xFF) || ((pixel >> 8) & 0xFF) != (pixel & 0xFF)))
          ++misses;
      }
    EXPECT_EQ(misses, 0);
  }
}

TEST_F(JpegFile, SixteenBitPixelsAre555WithTheNoiseAddedBeforeTheCut) {
  const test::TestPicture picture = test::Gradient(40, 24);
  for (JpegKind kind : {JpegKind::Baseline, JpegKind::Grey}) {
    SCOPED_TRACE(static_cast<int>(kind));
    auto media = Open("pic.jpg", test::CompressJpeg(picture, kind), 16);
    ASSERT_EQ(RunToEnd(*media).back(), MediaComplete);
    const PixelMap image = Image(*media);
    ASSERT_EQ(image.bytesPerPixel, 2);
    int misses = 0;
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x) {
        const uint16_t pixel = test::Pixel555At(image, x, y);
        const uint32_t expected = Expected(picture, kind, x, y);
        const int channels[3] = {(pixel >> 10) & 31, (pixel >> 5) & 31, pixel & 31};
        for (int c = 0; c < 3; ++c) {
          const int want = static_cast<int>((expected >> (16 - 8 * c)) & 0xFF);
          // Noise 0..7 lifts a channel by up to one step of 5 bits.
          if (channels[c] * 8 < want - kTolerance - 8 || channels[c] * 8 > want + kTolerance + 8) ++misses;
        }
        if (pixel & 0x8000) ++misses;
        if (kind == JpegKind::Grey && (channels[0] != channels[1] || channels[1] != channels[2])) ++misses;
      }
    EXPECT_EQ(misses, 0);
  }
}

TEST_F(JpegFile, EightBitPixelsAreIndicesOfTheGivenPaletteForEveryKind) {
  PaletteTable palette;
  palette.count = 4;
  palette.entries[0] = 0x000000;
  palette.entries[1] = 0xFFFFFF;
  palette.entries[2] = 0x808080;
  palette.entries[3] = 0xFF0000;
  struct Case {
    JpegKind kind;
    uint32_t colour;
    uint8_t index;
  };
  // A grey picture must come out in the palette's grey, not in an index of
  // a grey ramp of the decoder's own; ink goes through the inverse map.
  for (const Case& c : {Case{JpegKind::Grey, 0x808080, 2}, Case{JpegKind::Baseline, 0xFF0000, 3},
                        Case{JpegKind::Progressive, 0x808080, 2}, Case{JpegKind::Ink, 0xFF0000, 3}}) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    auto media = Open("pic.jpg", test::CompressJpeg(test::Uniform(24, 16, c.colour), c.kind), 8, &palette);
    ASSERT_EQ(RunToEnd(*media).back(), MediaComplete);
    const PixelMap image = Image(*media);
    ASSERT_EQ(image.bytesPerPixel, 1);
    int misses = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) misses += image.Row(y)[x] != c.index;
    EXPECT_EQ(misses, 0);
  }
}

TEST_F(JpegFile, APictureFillsInFromTheTopAtMost32RowsAStep) {
  const test::TestPicture picture = test::Gradient(16, 100);
  auto media = Open("tall.jpeg", test::CompressJpeg(picture, JpegKind::Baseline), 32);
  EXPECT_EQ(media->Process(), MediaFileReady);
  EXPECT_EQ(media->Process(), MediaDecoding) << "the header is read and the image made";
  const PixelMap image = Image(*media);
  EXPECT_EQ(test::Xrgb32At(image, 0, 0), kFillBlue) << "the image shows the fill colour until rows arrive";

  EXPECT_EQ(media->Process(), MediaDecoding);
  EXPECT_TRUE(test::NearXrgb(test::Xrgb32At(image, 5, 31), picture.At(5, 31), kTolerance));
  EXPECT_EQ(test::Xrgb32At(image, 5, 32), kFillBlue);
  EXPECT_EQ(media->Process(), MediaDecoding);
  EXPECT_EQ(media->Process(), MediaDecoding);
  EXPECT_EQ(test::Xrgb32At(image, 5, 96), kFillBlue);
  EXPECT_EQ(media->Process(), MediaComplete) << "the step that writes the last four rows ends the picture";
  EXPECT_TRUE(test::NearXrgb(test::Xrgb32At(image, 5, 99), picture.At(5, 99), kTolerance));
  EXPECT_EQ(media->Process(), MediaComplete);
}

// Every pixel of the two images, row by row.
bool SamePixels(const PixelMap& a, const PixelMap& b) {
  if (a.width != b.width || a.height != b.height || a.bytesPerPixel != b.bytesPerPixel) return false;
  for (int y = 0; y < a.height; ++y)
    if (std::memcmp(a.Row(y), b.Row(y), static_cast<size_t>(a.width) * a.bytesPerPixel) != 0) return false;
  return true;
}

TEST_F(JpegFile, AFileWithoutItsEndMarkerShowsTheWholePictureAsTheFileWithItDoes) {
  const test::TestPicture picture = test::Gradient(40, 75);
  const PaletteTable palette = BuiltInPaletteTable();
  struct Case {
    const char* what;
    JpegKind kind;
    test::JpegCoding coding;
  };
  for (const Case& c : {Case{"baseline", JpegKind::Baseline, {}}, Case{"progressive", JpegKind::Progressive, {}},
                        Case{"grey", JpegKind::Grey, {}}, Case{"ink", JpegKind::Ink, {}},
                        Case{"restart markers", JpegKind::Baseline, {false, 1}}}) {
    SCOPED_TRACE(c.what);
    const std::string whole = test::CompressJpeg(picture, c.kind, 90, c.coding);
    const std::string unended = test::WithoutEndMarker(whole);
    ASSERT_EQ(unended.size() + 2, whole.size());
    for (const int32_t depth : {8, 32}) {
      auto expected = Open("whole.jpg", whole, depth, &palette);
      auto media = Open("unended.jpg", unended, depth, &palette);
      ASSERT_EQ(RunToEnd(*expected).back(), MediaComplete);
      ASSERT_EQ(RunToEnd(*media).back(), MediaComplete) << depth << " bits";
      EXPECT_TRUE(SamePixels(Image(*media), Image(*expected))) << depth << " bits";
    }
  }
}

// The decoder over the bytes of a file as they stand: Complete once every
// row of the picture is in.
DecodeStatus DecodeAllAtOnce(const std::string& file) {
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(file.data()), file.size());
  CJpegDecoder decoder;
  const DecodeStatus header = decoder.ReadHeader(bytes, true);
  if (header != DecodeStatus::Complete) return header;
  std::vector<uint32_t> pixels(static_cast<size_t>(decoder.Size().width) * decoder.Size().height);
  const PixelMap target{reinterpret_cast<uint8_t*>(pixels.data()), static_cast<uint16_t>(decoder.Size().width),
                        static_cast<uint16_t>(decoder.Size().height), 4, decoder.Size().width * 4};
  return decoder.DecodeRows(bytes, true, PictureWindow{target, 0, 0}, JpegOutput{}, decoder.Size().height);
}

TEST(JpegCutFiles, AFileCutAnywhereBeforeItsLastCodedBytesIsCorrupt) {
  const test::TestPicture picture = test::Gradient(24, 20);
  for (const JpegKind kind : {JpegKind::Baseline, JpegKind::Progressive}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const std::string whole = test::CompressJpeg(picture, kind, 90);
    ASSERT_EQ(DecodeAllAtOnce(whole), DecodeStatus::Complete);
    ASSERT_EQ(DecodeAllAtOnce(test::WithoutEndMarker(whole)), DecodeStatus::Complete);
    // The last coded byte may hold nothing but the bits that pad it out;
    // from two bytes short of the end marker on, coded data is missing.
    std::vector<size_t> decoded;
    for (size_t length = 2; length + 4 <= whole.size(); ++length)
      if (DecodeAllAtOnce(whole.substr(0, length)) != DecodeStatus::Corrupt) decoded.push_back(length);
    EXPECT_TRUE(decoded.empty()) << decoded.size() << " lengths of " << whole.size() << " decode, the first "
                                 << decoded.front();
  }
}

// The notify callback hands over an image of its own and moves the picture.
struct Receiver {
  std::unique_ptr<CDibImage> image;
  Placement moveTo;
  int calls = 0;

  static void Notify(int32_t message, void* data, void* context) {
    auto* self = static_cast<Receiver*>(context);
    auto* request = static_cast<ImageRequest*>(data);
    EXPECT_EQ(message, kMediaMessage);
    ++self->calls;
    request->placement->rowOffset = self->moveTo.rowOffset;
    request->placement->columnOffset = self->moveTo.columnOffset;
    *request->image = self->image.get();
  }
};

TEST_F(JpegFile, APictureLandsAtThePlacementANotifyCallbackChoseAndIsCutAtTheImagesEdges) {
  const test::TestPicture picture = test::Gradient(32, 24);
  for (const Placement at : {Placement{10, 20, 0, 0}, Placement{40, 50, 0, 0}, Placement{-5, -7, 0, 0}}) {
    SCOPED_TRACE(std::to_string(at.rowOffset) + "," + std::to_string(at.columnOffset));
    Receiver receiver{CDibImage::Create(64, 48, 32, nullptr, false, false), at};
    ASSERT_NE(receiver.image, nullptr);
    const PixelMap target = receiver.image->GetPixelMap();

    auto media = Open("pic.jpg", test::CompressJpeg(picture, JpegKind::Baseline), 32);
    media->SetNotify(MediaCallback{&receiver, &Receiver::Notify});
    ASSERT_EQ(RunToEnd(*media).back(), MediaComplete);
    EXPECT_EQ(receiver.calls, 1);
    int misses = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        const int px = x - at.columnOffset;
        const int py = y - at.rowOffset;
        const bool inside = px >= 0 && py >= 0 && px < picture.width && py < picture.height;
        const uint32_t pixel = test::Xrgb32At(target, x, y);
        // The rest keeps the fill colour the image was given when it was made.
        misses += inside ? !test::NearXrgb(pixel, picture.At(px, py), kTolerance) : pixel != kFillBlue;
      }
    EXPECT_EQ(misses, 0);
  }
}

// Where the size words of the frame header lie in a file the compressor made.
size_t FrameHeaderAt(const std::string& jpeg) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i)
    if (static_cast<uint8_t>(jpeg[i]) == 0xFF && (static_cast<uint8_t>(jpeg[i + 1]) & 0xFE) == 0xC0) return i;
  return std::string::npos;
}

TEST_F(JpegFile, BrokenFilesEndAsUnusableWithoutTouchingMemoryTheyDoNotOwn) {
  const std::string good = test::CompressJpeg(test::Gradient(64, 48), JpegKind::Baseline);
  const std::string progressive = test::CompressJpeg(test::Gradient(64, 48), JpegKind::Progressive);
  const std::string arithmetic = test::CompressJpeg(test::Gradient(64, 48), JpegKind::Baseline, 95, {true, 0});
  const size_t frame = FrameHeaderAt(good);
  ASSERT_NE(frame, std::string::npos);
  std::string huge = good;
  huge[frame + 5] = huge[frame + 7] = static_cast<char>(0x7F);  // 32,5xx by 32,5xx
  std::string noWidth = good;
  noWidth[frame + 7] = noWidth[frame + 8] = 0;
  std::string badMarker = good;
  badMarker[frame + 1] = static_cast<char>(0xCF);  // a coding process no decoder knows

  const std::vector<std::pair<std::string, std::string>> cases = {
      {"empty", ""},
      {"not a JPEG", "GIF89a and so on"},
      {"only the start marker", good.substr(0, 2)},
      {"cut in the header", good.substr(0, frame + 4)},
      {"cut in the picture", good.substr(0, good.size() / 2)},
      {"progressive cut in a scan", progressive.substr(0, progressive.size() * 2 / 3)},
      {"arithmetic cut in the picture", arithmetic.substr(0, arithmetic.size() / 2)},
      // Its decoder reads zeros past the end without a word: a lost end
      // marker cannot be told from lost coded data.
      {"arithmetic without its end marker", test::WithoutEndMarker(arithmetic)},
      {"too large", huge},
      {"no width", noWidth},
      {"unknown process", badMarker},
  };
  for (const auto& [what, content] : cases) {
    auto media = Open("bad.jpg", content, 32);
    EXPECT_EQ(RunToEnd(*media).back(), MediaUnusable) << what;
  }
  auto missing = std::make_unique<CJpegMedia>();
  static_cast<void>(missing->SetUrl((folder_.Path() + "/absent.jpg").c_str()));
  EXPECT_EQ(RunToEnd(*missing).back(), MediaUnusable);
}

TEST_F(JpegFile, DamageAnywhereInAFileEndsInAFinalStateAtEveryPixelSize) {
  PaletteTable palette = BuiltInPaletteTable();
  const std::string good = test::CompressJpeg(test::Gradient(40, 33), JpegKind::Progressive, 80);
  for (size_t at = 2; at < good.size(); at += 13) {
    std::string damaged = good;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    damaged[(at * 7) % damaged.size()] = static_cast<char>(0xFF);
    for (int32_t depth : {8, 16, 32}) {
      auto media = Open("damaged.jpg", damaged, depth, &palette);
      EXPECT_TRUE(IsFinal(RunToEnd(*media).back())) << "damage at " << at;
    }
  }
}

TEST_F(JpegFile, AnErrorInOnePictureLeavesAnotherBeingDecodedAlone) {
  const test::TestPicture picture = test::Gradient(24, 200);
  auto good = Open("good.jpg", test::CompressJpeg(picture, JpegKind::Baseline), 32);
  std::string cut = test::CompressJpeg(picture, JpegKind::Baseline);
  cut.resize(cut.size() / 3);
  auto bad = Open("bad.jpg", cut, 32);
  int32_t goodState = MediaIdle;
  int32_t badState = MediaIdle;
  for (int step = 0; step < 100 && !(IsFinal(goodState) && IsFinal(badState)); ++step) {
    goodState = good->Process();
    badState = bad->Process();
  }
  EXPECT_EQ(badState, MediaUnusable);
  EXPECT_EQ(goodState, MediaComplete);
  EXPECT_TRUE(test::NearXrgb(test::Xrgb32At(Image(*good), 7, 199), picture.At(7, 199), kTolerance));
}

}  // namespace
}  // namespace vx
