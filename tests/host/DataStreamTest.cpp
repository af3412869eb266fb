#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/media/DataStream.h"

namespace vx {
namespace {

namespace fs = std::filesystem;

class DataStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(VX_TEST_BINARY_DIR) /
              ("stream-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string WriteFile(const std::vector<uint8_t>& bytes) {
    const std::string name = (folder_ / "data.bin").string();
    FILE* file = std::fopen(name.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return name;
  }

  fs::path folder_;
};

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A header with the given header length and count, followed by its tables.
std::vector<uint8_t> HeaderBytes(uint32_t headerLength, uint32_t count, size_t tableEntries) {
  std::vector<uint8_t> bytes(headerLength + tableEntries * 8, 0);
  PutU32(bytes, 0, 0x52494331);
  PutU32(bytes, 12, headerLength);
  bytes[24] = 21;
  bytes[26] = 2;
  bytes[28] = 3;
  bytes[32] = 64;
  bytes[34] = 48;
  PutU32(bytes, 36, count);
  for (size_t i = 0; i < tableEntries; ++i) {
    PutU32(bytes, headerLength + 4 * i, static_cast<uint32_t>(1000 + i));
    PutU32(bytes, headerLength + 4 * (tableEntries + i), static_cast<uint32_t>(10 + i));
  }
  return bytes;
}

TEST_F(DataStreamTest, MemorySeekStaysInsideTheBlock) {
  std::array<uint8_t, 10> block{};
  DataStream stream;
  DataStreamOpen(&stream, nullptr, nullptr, block.data(), 10);
  EXPECT_EQ(DataStreamSeek(&stream, 9, SeekFrom::Start), 0);
  EXPECT_EQ(DataStreamTell(&stream), 9);
  EXPECT_EQ(DataStreamSeek(&stream, 10, SeekFrom::Start), 1);
  EXPECT_EQ(DataStreamSeek(&stream, -1, SeekFrom::Start), 1);
  EXPECT_EQ(DataStreamTell(&stream), 9);
  EXPECT_EQ(DataStreamSeek(&stream, -4, SeekFrom::Current), 0);
  EXPECT_EQ(DataStreamTell(&stream), 5);
  EXPECT_EQ(DataStreamSeek(&stream, 2, SeekFrom::End), 0);
  EXPECT_EQ(DataStreamTell(&stream), 7);
}

TEST_F(DataStreamTest, LittleEndianValuesInBothModes) {
  std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04};
  DataStream memory;
  DataStreamOpen(&memory, nullptr, nullptr, bytes.data(), 4);
  uint32_t value = 0;
  EXPECT_EQ(DataStreamReadU32(&memory, &value, 1), 1);
  EXPECT_EQ(value, 0x04030201u);

  DataStream file;
  DataStreamOpen(&file, WriteFile(bytes).c_str(), "rb", nullptr, 0);
  uint16_t halves[3] = {7, 7, 7};
  // A file that ends early still reports the count asked; the missing value is 0.
  EXPECT_EQ(DataStreamReadU16(&file, halves, 3), 3);
  EXPECT_EQ(halves[0], 0x0201);
  EXPECT_EQ(halves[1], 0x0403);
  EXPECT_EQ(halves[2], 0);
  EXPECT_EQ(DataStreamClose(&file), 0);
  EXPECT_EQ(file.file, nullptr);
}

TEST_F(DataStreamTest, MemoryTransfersNeverPassTheBlock) {
  std::array<uint8_t, 6> block{};
  DataStream stream;
  DataStreamOpen(&stream, nullptr, nullptr, block.data(), 6);
  const uint8_t source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(DataStreamWrite(&stream, source, 4, 2), 1);
  EXPECT_EQ(DataStreamWrite(&stream, source, 1, 8), 2);
  EXPECT_EQ(DataStreamTell(&stream), 6);
  EXPECT_EQ(block[5], 2);

  ASSERT_EQ(DataStreamSeek(&stream, 3, SeekFrom::Start), 0);
  uint32_t words[2] = {};
  EXPECT_EQ(DataStreamReadU32(&stream, words, 2), 0);
  uint8_t out[8] = {};
  EXPECT_EQ(DataStreamRead(&stream, out, 1, 8), 3);
  EXPECT_EQ(out[0], 4);
}

TEST_F(DataStreamTest, StreamThatDidNotOpenAnswersZero) {
  DataStream stream;
  DataStreamOpen(&stream, (folder_ / "missing" / "x").string().c_str(), "rb", nullptr, 0);
  uint32_t word = 5;
  EXPECT_EQ(DataStreamRead(&stream, &word, 4, 1), 0);
  EXPECT_EQ(DataStreamReadU32(&stream, &word, 1), 0);
  EXPECT_EQ(DataStreamWrite(&stream, &word, 4, 1), 0);
  EXPECT_EQ(DataStreamSeek(&stream, 3, SeekFrom::Start), 0);
  EXPECT_EQ(DataStreamTell(&stream), 0);
  EXPECT_EQ(DataStreamClose(&stream), 0);
}

TEST_F(DataStreamTest, HeaderTablesFollowTheHeaderLength) {
  for (uint32_t headerLength : {72u, 80u}) {
    std::vector<uint8_t> bytes = HeaderBytes(headerLength, 3, 3);
    DataStream stream;
    DataStreamOpen(&stream, WriteFile(bytes).c_str(), "rb", nullptr, 0);
    StreamHeader header;
    ASSERT_EQ(ReadStreamHeader(&stream, &header), StreamHeaderResult::Ok);
    EXPECT_EQ(header.gridOrder, 21);
    EXPECT_EQ(header.framesDown, 2);
    EXPECT_EQ(header.framesAcross, 3);
    EXPECT_EQ(header.frameWidth, 64);
    EXPECT_EQ(header.frameHeight, 48);
    EXPECT_EQ(header.offsets, (std::vector<uint32_t>{1000, 1001, 1002}));
    EXPECT_EQ(header.sizes, (std::vector<uint32_t>{10, 11, 12}));
    FreeStreamHeader(&header);
    EXPECT_TRUE(header.offsets.empty());
    EXPECT_EQ(DataStreamClose(&stream), 0);
  }
}

TEST_F(DataStreamTest, HeaderWithImpossibleSizesIsRefused) {
  struct Case {
    uint32_t headerLength, count;
    size_t entries;
    StreamHeaderResult expected;
  };
  const Case cases[] = {
      {72, 0x40000000, 2, StreamHeaderResult::BadTables},  // count far beyond the file
      {72, 3, 2, StreamHeaderResult::BadTables},           // tables one entry short
      {0xFFFFFF00u, 1, 1, StreamHeaderResult::BadTables},  // header length past the end
      {16, 1, 8, StreamHeaderResult::BadTables},           // tables inside the header
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = HeaderBytes(72, c.count, c.entries);
    PutU32(bytes, 12, c.headerLength);
    DataStream stream;
    DataStreamOpen(&stream, nullptr, nullptr, bytes.data(), static_cast<int32_t>(bytes.size()));
    StreamHeader header;
    EXPECT_EQ(ReadStreamHeader(&stream, &header), c.expected) << c.headerLength << " " << c.count;
    EXPECT_TRUE(header.offsets.empty());
  }
  std::vector<uint8_t> shortFile(40, 0);
  DataStream stream;
  DataStreamOpen(&stream, WriteFile(shortFile).c_str(), "rb", nullptr, 0);
  StreamHeader header;
  EXPECT_EQ(ReadStreamHeader(&stream, &header), StreamHeaderResult::Truncated);
  EXPECT_EQ(DataStreamClose(&stream), 0);
}

}  // namespace
}  // namespace vx
