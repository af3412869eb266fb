// ".ric" files written by the tests' encoder, loaded from local files and
// drawn frame by frame at every output depth; hostile records are refused.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/FrameSetTexture.h"
#include "engine/media/MediaFactories.h"
#include "engine/media/MediaFormats.h"
#include "engine/media/formats/ric/CodebookMedia.h"
#include "tests/media/RicTestFiles.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using test::RicBlock;
using test::RicEntry;
using test::RicGrid;
using test::RicRecord;

constexpr uint8_t kUntouched = 0xAB;

RicEntry Grey(uint8_t value) { return {value, value, value, value, 128, 128}; }

uint32_t Xrgb(uint32_t grey) { return (grey << 16) | (grey << 8) | grey; }

// Pixel memory that a test owns, every byte kUntouched at first.
struct Canvas {
  Canvas(int32_t width, int32_t height, int32_t bytesPerPixel, int32_t padding = 0)
      : bytes(static_cast<size_t>(width * bytesPerPixel + padding) * height, kUntouched) {
    map.bits = bytes.data();
    map.width = static_cast<uint16_t>(width);
    map.height = static_cast<uint16_t>(height);
    map.bytesPerPixel = static_cast<uint16_t>(bytesPerPixel);
    map.rowBytes = width * bytesPerPixel + padding;
  }

  uint32_t At(int32_t x, int32_t y) const {
    uint32_t value = 0;
    std::memcpy(&value, map.Row(y) + x * map.bytesPerPixel, map.bytesPerPixel);
    return value;
  }
  bool Untouched(int32_t x, int32_t y) const {
    const uint8_t* pixel = map.Row(y) + x * map.bytesPerPixel;
    for (int i = 0; i < map.bytesPerPixel; ++i)
      if (pixel[i] != kUntouched) return false;
    return true;
  }

  std::vector<uint8_t> bytes;
  PixelMap map;
};

class RicFile : public ::testing::Test {
 protected:
  std::unique_ptr<CCodebookMedia> Open(const std::string& content, int32_t depth = 32,
                                       const PaletteTable* palette = nullptr) {
    path_ = folder_.Write("frames.ric", content);
    auto media = std::make_unique<CCodebookMedia>();
    media->SetPixelDepth(depth);
    media->SetPalette(palette);
    EXPECT_EQ(media->SetUrl(path_.c_str()), 0u);
    for (int step = 0; step < 4; ++step) static_cast<void>(media->Process());
    return media;
  }

  // Loads the file, expecting it to load.
  std::unique_ptr<CCodebookMedia> Load(const std::string& content, int32_t depth = 32,
                                       const PaletteTable* palette = nullptr) {
    auto media = Open(content, depth, palette);
    EXPECT_EQ(media->GetLoadState(), MediaComplete);
    return media;
  }

  static std::string OneFrameFile(const RicRecord& record, uint16_t frameWidth, uint16_t frameHeight) {
    return test::EncodeRicFile(RicGrid{21, 1, 1, frameWidth, frameHeight}, {test::EncodeRicRecord(record)});
  }

  // Draws frame (0, 0) into the canvas with the object's own image as target.
  static int32_t DrawFirst(CCodebookMedia& media, const Canvas& canvas) {
    auto frame = media.GetFrameRef(FramePosition{});
    EXPECT_NE(frame, nullptr);
    if (!frame) return -1;
    EXPECT_EQ(media.SetFrameTarget(nullptr), 0);
    return media.DrawFrame(frame.get(), &canvas.map);
  }

  std::string path_;
  test::TemporaryFolder folder_{"vxric"};
};

TEST_F(RicFile, LoadsItsGridAndMakesAnImageOfOneFrame) {
  const RicRecord record = test::SmallBookFrame(12, 8, Grey(50));
  auto media = Load(test::EncodeRicFile(RicGrid{12, 2, 3, 12, 8}, std::vector<std::string>(6, test::EncodeRicRecord(record))));
  FrameGrid grid;
  ASSERT_EQ(media->GetFrameGrid(&grid), 1);
  EXPECT_EQ(grid.order, 12);
  EXPECT_EQ(grid.framesDown, 2);
  EXPECT_EQ(grid.framesAcross, 3);
  EXPECT_EQ(grid.frameWidth, 12);
  EXPECT_EQ(grid.frameHeight, 8);
  MediaImageInfo info;
  ASSERT_EQ(media->GetImageInfo(&info), 0);
  EXPECT_EQ(info.width, 12);
  EXPECT_EQ(info.height, 8);
  EXPECT_EQ(info.bytesPerPixel, 4);
  EXPECT_EQ(OpenMedia("turn.RIC", true)->GetTypeCode(), MediaType::Codebook);
}

// 44 x 12 pixels hold 33 blocks: two kind words, of which the second gives
// only its top bit; the bits past the last block are set and must not count.
TEST_F(RicFile, MixedModeReadsTwoKindWordsFor33Blocks) {
  RicRecord record;
  record.flags = 3;
  record.width = 44;
  record.height = 12;
  record.large.entries[0] = {128, 128, 128, 128, 128, 128};  // grey 127
  for (int i = 0; i < 4; ++i) record.small.entries[i] = Grey(static_cast<uint8_t>(10 * (i + 1)));
  for (int k = 0; k < 33; ++k)
    record.blocks.push_back(k % 3 == 0 ? RicBlock{true, {0}} : RicBlock{false, {0, 1, 2, 3}});
  record.blocks[32] = RicBlock{false, {3, 2, 1, 0}};
  record.unusedKindBits = 0xFFFFFFFF;
  auto media = Load(OneFrameFile(record, 44, 12));
  auto frame = media->GetFrameRef(FramePosition{});
  ASSERT_NE(frame, nullptr);
  const auto& codebookFrame = static_cast<const CCodebookFrame&>(*frame);
  EXPECT_EQ(codebookFrame.KindWords(), 2);
  EXPECT_EQ(codebookFrame.IndexBytes(), 11 * 1 + 22 * 4);

  Canvas canvas(44, 12, 4);
  ASSERT_EQ(media->SetFrameTarget(nullptr), 0);
  ASSERT_EQ(media->DrawFrame(frame.get(), &canvas.map), 0);
  for (int k = 0; k < 33; ++k) {
    SCOPED_TRACE(k);
    const int x = (k % 11) * 4;
    const int y = (k / 11) * 4;
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) {
        uint32_t expected = 127;
        if (k % 3 != 0) {
          const int quarter = (r / 2) * 2 + c / 2;
          const int index = record.blocks[k].index[quarter];
          expected = 10u * (index + 1);
        }
        EXPECT_EQ(canvas.At(x + c, y + r), Xrgb(expected)) << "at " << c << "," << r;
      }
  }
}

// One frame of four blocks in a row: black, grey 127, white (254) and grey 127.
RicRecord ThreeGreysRecord() {
  RicRecord record;
  record.flags = 1;
  record.width = 16;
  record.height = 8;
  record.large.entries[0] = {0, 128, 128, 128, 128, 128};
  record.large.entries[1] = {128, 128, 128, 128, 128, 128};
  record.large.entries[2] = {255, 128, 128, 128, 128, 128};
  for (int k = 0; k < 8; ++k) record.blocks.push_back(RicBlock{true, {static_cast<uint8_t>(k % 4 == 3 ? 1 : k % 4)}});
  return record;
}

TEST_F(RicFile, EveryOutputDepthDrawsTheSameBlocks) {
  const std::string file = OneFrameFile(ThreeGreysRecord(), 16, 8);
  const uint32_t greys[4] = {0, 127, 254, 127};
  auto media = Load(file);

  Canvas xrgb(16, 8, 4);
  ASSERT_EQ(DrawFirst(*media, xrgb), 0);
  Canvas c555(16, 8, 2);
  ASSERT_EQ(DrawFirst(*media, c555), 0);
  // 24 bits with rows longer than three bytes a pixel: the second band
  // still starts four rows down.
  Canvas rgb(16, 8, 3, 7);
  ASSERT_EQ(DrawFirst(*media, rgb), 0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      const uint32_t grey = greys[x / 4];
      EXPECT_EQ(xrgb.At(x, y), Xrgb(grey));
      EXPECT_EQ(rgb.At(x, y), Xrgb(grey));
      // Grey 127 at 16 bits: 127 + dither 1..7 >> 3 is always 16.
      const uint32_t five = grey == 127 ? 16 : grey >> 3;
      EXPECT_EQ(c555.At(x, y), (five << 10) | (five << 5) | five);
    }
  for (int y = 0; y < 8; ++y) EXPECT_EQ(rgb.bytes[static_cast<size_t>(y) * rgb.map.rowBytes + 48], kUntouched);

  // 8 bits: a palette holding exactly these greys gives their indices.
  PaletteTable palette;
  palette.count = 3;
  palette.entries[0] = 0x000000;
  palette.entries[1] = 0x7F7F7F;
  palette.entries[2] = 0xFFFFFF;
  auto indexed = Load(file, 8, &palette);
  Canvas own(16, 8, 1);
  ASSERT_EQ(DrawFirst(*indexed, own), 0);
  const uint32_t indices[4] = {0, 1, 2, 1};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(own.At(x, y), indices[x / 4]) << x << "," << y;
}

TEST_F(RicFile, SameFrameDrawsTheSameTwiceAtEveryDepth) {
  PaletteTable palette;
  palette.count = 3;
  palette.entries[1] = 0x7F7F7F;
  palette.entries[2] = 0xFFFFFF;
  for (int32_t depth : {8, 16, 32}) {
    SCOPED_TRACE(depth);
    auto media = Load(OneFrameFile(ThreeGreysRecord(), 16, 8), depth, &palette);
    auto frame = media->GetFrameRef(FramePosition{});
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(media->SetFrameTarget(nullptr), 0);
    Canvas first(16, 8, depth / 8);
    Canvas second(16, 8, depth / 8);
    ASSERT_EQ(media->DrawFrame(frame.get(), &first.map), 0);
    ASSERT_EQ(media->DrawFrame(frame.get(), &second.map), 0);
    EXPECT_EQ(first.bytes, second.bytes);
  }
}

TEST_F(RicFile, DrawsIntoTheOwnImageWithoutADestination) {
  auto media = Load(OneFrameFile(test::SmallBookFrame(8, 4, Grey(90)), 8, 4));
  auto frame = media->GetFrameRef(FramePosition{});
  ASSERT_NE(frame, nullptr);
  ASSERT_EQ(media->SetFrameTarget(nullptr), 0);
  ASSERT_EQ(media->DrawFrame(frame.get(), nullptr), 0);
  MediaImageInfo info;
  ASSERT_EQ(media->GetImageInfo(&info), 0);
  uint32_t pixel = 0;
  std::memcpy(&pixel, info.Row(3) + 7 * 4, 4);
  EXPECT_EQ(pixel, Xrgb(90));
  EXPECT_EQ(media->ClearFrameTarget(), 0);
  EXPECT_EQ(media->DrawFrame(frame.get(), nullptr), 2);
}

TEST_F(RicFile, ColumnsAndRowsPastTheLastWholeBlockAreNotWritten) {
  // 10 x 7: two blocks in one band; columns 8 and 9 and rows 4 to 6 stay.
  for (int32_t bytesPerPixel : {1, 2, 3, 4}) {
    SCOPED_TRACE(bytesPerPixel);
    PaletteTable palette;
    palette.count = 2;
    palette.entries[1] = 0x5A5A5A;
    auto media = Load(OneFrameFile(test::SmallBookFrame(10, 7, Grey(90)), 10, 7), bytesPerPixel == 1 ? 8 : 32,
                      &palette);
    Canvas canvas(10, 7, bytesPerPixel);
    ASSERT_EQ(DrawFirst(*media, canvas), 0);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 10; ++x) EXPECT_EQ(canvas.Untouched(x, y), x >= 8 || y >= 4) << x << "," << y;
  }
  // Height 3: no band at all.
  auto flat = Load(OneFrameFile(test::SmallBookFrame(8, 3, Grey(90)), 8, 3));
  Canvas canvas(8, 3, 4);
  ASSERT_EQ(DrawFirst(*flat, canvas), 0);
  for (uint8_t byte : canvas.bytes) EXPECT_EQ(byte, kUntouched);
}

TEST_F(RicFile, DestinationSmallerThanTheFrameIsClipped) {
  auto media = Load(OneFrameFile(test::SmallBookFrame(16, 16, Grey(70)), 16, 16));
  for (int32_t bytesPerPixel : {2, 3, 4}) {
    Canvas canvas(6, 5, bytesPerPixel);
    ASSERT_EQ(DrawFirst(*media, canvas), 0);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) EXPECT_FALSE(canvas.Untouched(x, y));
  }
}

// Every frame is one grey: 5 + 5 x its index.
std::string NumberedFrames(uint16_t order, uint16_t down, uint16_t across) {
  std::vector<std::string> records;
  for (int i = 0; i < down * across; ++i)
    records.push_back(test::EncodeRicRecord(test::SmallBookFrame(4, 4, Grey(static_cast<uint8_t>(5 + 5 * i)))));
  return test::EncodeRicFile(RicGrid{order, down, across, 4, 4}, records);
}

TEST_F(RicFile, FramePositionsMapByTheGridOrder) {
  const struct {
    uint16_t order, down, across;
    int expectedFrame;
  } cases[] = {{21, 3, 8, 2 * 8 + 3}, {12, 10, 4, 2 + 3 * 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.order);
    auto media = Load(NumberedFrames(c.order, c.down, c.across));
    auto frame = media->GetFrameRef(FramePosition{2, 3, 1});
    ASSERT_NE(frame, nullptr);
    Canvas canvas(4, 4, 4);
    ASSERT_EQ(media->SetFrameTarget(nullptr), 0);
    ASSERT_EQ(media->DrawFrame(frame.get(), &canvas.map), 0);
    EXPECT_EQ(canvas.At(1, 1), Xrgb(5u + 5u * c.expectedFrame));
    EXPECT_EQ(media->GetFrameRef(FramePosition{static_cast<int16_t>(c.down), 0, 1}), nullptr);
    EXPECT_EQ(media->GetFrameRef(FramePosition{0, -1, 1}), nullptr);
  }
}

TEST_F(RicFile, FrameSetTextureDrawsFramesThroughItsRing) {
  const std::string path = folder_.Write("turn.ric", NumberedFrames(21, 3, 8));
  auto texture = CreateFrameSetTexture(path.c_str());
  ASSERT_NE(texture, nullptr);
  texture->SetPixelDepth(32);
  for (int step = 0; step < 4 && texture->Process() != MediaComplete; ++step) {
  }
  ASSERT_EQ(texture->Process(), MediaComplete);
  ASSERT_NE(texture->GetFrame(FramePosition{1, 5, 1}), nullptr);
  EXPECT_EQ(texture->FindFrame(13), texture->GetFrame(FramePosition{1, 5, 1}));
  EXPECT_EQ(texture->DrawFrameAt(FramePosition{1, 5, 1}, nullptr), 0);
  MediaImageInfo info;
  ASSERT_EQ(texture->GetImageInfo(&info), 0);
  uint32_t pixel = 0;
  std::memcpy(&pixel, info.Row(2) + 2 * 4, 4);
  EXPECT_EQ(pixel, Xrgb(5 + 5 * 13));
}

// A file of one 8 x 8 frame whose record is replaced by `record`.
std::string FileWithRecord(const std::string& record) {
  return test::EncodeRicFile(RicGrid{21, 1, 1, 8, 8}, {record});
}

TEST_F(RicFile, HostileRecordsAreRefused) {
  const std::string good = test::EncodeRicRecord(test::SmallBookFrame(8, 8, Grey(40)));
  RicRecord smaller = test::SmallBookFrame(8, 4, Grey(40));
  std::string huge = good;  // 32767 x 32767
  huge[2] = huge[4] = static_cast<char>(0xFF);
  huge[3] = huge[5] = 0x7F;
  std::string negative = good;
  negative[3] = static_cast<char>(0x80);  // width 0x8008
  std::string neither = good;
  neither[0] = 4;
  RicRecord mixed = test::SmallBookFrame(8, 8, Grey(40));
  mixed.flags = 3;
  std::string mixedShort = test::EncodeRicRecord(mixed);
  mixedShort.resize(mixedShort.size() - 1);

  const struct {
    const char* what;
    std::string record;
  } cases[] = {
      {"smaller than the frame", test::EncodeRicRecord(smaller)},
      {"sides far larger than the file", huge},
      {"negative width", negative},
      {"neither codebook", neither},
      {"cut inside the codebook", good.substr(0, 700)},
      {"cut inside the indices", good.substr(0, good.size() - 1)},
      {"cut inside the mixed indices", mixedShort},
      {"only a head", good.substr(0, 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto media = Load(FileWithRecord(c.record));
    EXPECT_EQ(media->GetFrameRef(FramePosition{}), nullptr);
  }
  EXPECT_NE(Load(FileWithRecord(good))->GetFrameRef(FramePosition{}), nullptr);
}

TEST_F(RicFile, OffsetsOutsideTheFileAreRefused) {
  std::string file = FileWithRecord(test::EncodeRicRecord(test::SmallBookFrame(8, 8, Grey(40))));
  for (uint32_t offset : {static_cast<uint32_t>(file.size()), 0x7FFFFFFFu, 0xFFFFFFF0u,
                          static_cast<uint32_t>(file.size() - 3)}) {
    SCOPED_TRACE(offset);
    std::string moved = file;
    for (int i = 0; i < 4; ++i) moved[72 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
    EXPECT_EQ(Load(moved)->GetFrameRef(FramePosition{}), nullptr);
  }
}

TEST_F(RicFile, BadFilesEndUnusable) {
  const std::string record = test::EncodeRicRecord(test::SmallBookFrame(8, 8, Grey(40)));
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"tables larger than the file", test::EncodeRicFile(RicGrid{21, 1, 1, 8, 8}, {record}, 0x10000000)},
      {"grid order 13", test::EncodeRicFile(RicGrid{13, 1, 1, 8, 8}, {record})},
      {"frame without pixels", test::EncodeRicFile(RicGrid{21, 1, 1, 0, 8}, {record})},
      {"shorter than the header", std::string(40, '\x01')},
      {"empty", std::string()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto media = Open(c.file);
    EXPECT_EQ(media->GetLoadState(), MediaUnusable);
    EXPECT_EQ(media->GetFrameRef(FramePosition{}), nullptr);
  }
  auto missing = std::make_unique<CCodebookMedia>();
  ASSERT_EQ(missing->SetUrl((folder_.Path() + "/none.ric").c_str()), 0u);
  for (int step = 0; step < 3; ++step) static_cast<void>(missing->Process());
  EXPECT_EQ(missing->GetLoadState(), MediaUnusable);
}

TEST_F(RicFile, DrawingNeedsATargetAFrameOfItsOwnAndAPaletteFor8Bits) {
  auto media = Load(OneFrameFile(test::SmallBookFrame(8, 8, Grey(40)), 8, 8));
  auto frame = media->GetFrameRef(FramePosition{});
  ASSERT_NE(frame, nullptr);
  Canvas canvas(8, 8, 4);
  EXPECT_EQ(media->DrawFrame(frame.get(), &canvas.map), 2);
  ASSERT_EQ(media->SetFrameTarget(nullptr), 0);
  class ForeignFrame final : public FrameRef {};
  ForeignFrame foreign;
  EXPECT_EQ(media->DrawFrame(&foreign, &canvas.map), 2);
  EXPECT_EQ(media->DrawFrame(nullptr, &canvas.map), 2);
  // The object's own image is 32-bit: it has no palette to dither to.
  Canvas indexed(8, 8, 1);
  EXPECT_EQ(media->DrawFrame(frame.get(), &indexed.map), 2);
  for (uint8_t byte : indexed.bytes) EXPECT_EQ(byte, kUntouched);
}

}  // namespace
}  // namespace vx
