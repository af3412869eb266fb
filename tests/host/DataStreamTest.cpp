#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/DataStream.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

std::string WriteTestFile(const std::vector<uint8_t>& bytes) {
  static const test::TemporaryFolder folder("vx-data-stream-");
  return folder.Write(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".bin",
                      std::string(bytes.begin(), bytes.end()));
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A 72-byte header claiming `count` blocks, followed by `entries` table rows.
std::vector<uint8_t> HeaderBytes(uint32_t count, size_t entries) {
  std::vector<uint8_t> bytes(72 + entries * 8, 0);
  PutU32(bytes, 12, 72);
  bytes[24] = 21;
  bytes[26] = 2;
  bytes[28] = 3;
  bytes[32] = 64;
  bytes[34] = 48;
  PutU32(bytes, 36, count);
  for (size_t i = 0; i < entries; ++i) {
    PutU32(bytes, 72 + 4 * i, static_cast<uint32_t>(1000 + i));
    PutU32(bytes, 72 + 4 * (entries + i), static_cast<uint32_t>(10 + i));
  }
  return bytes;
}

TEST(DataStream, MemorySeekStaysInsideTheBlock) {
  std::array<uint8_t, 10> block{};
  DataStream stream;
  DataStreamOpen(&stream, nullptr, nullptr, block.data(), 10);
  EXPECT_EQ(DataStreamSeek(&stream, 9, SeekFrom::Start), 0);
  EXPECT_EQ(DataStreamSeek(&stream, 10, SeekFrom::Start), 1);
  EXPECT_EQ(DataStreamSeek(&stream, -1, SeekFrom::Start), 1);
  EXPECT_EQ(DataStreamTell(&stream), 9);
  EXPECT_EQ(DataStreamSeek(&stream, -4, SeekFrom::Current), 0);
  EXPECT_EQ(DataStreamTell(&stream), 5);
  EXPECT_EQ(DataStreamSeek(&stream, 2, SeekFrom::End), 0);
  EXPECT_EQ(DataStreamTell(&stream), 7);
}

TEST(DataStream, LittleEndianValuesInBothModes) {
  std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04};
  DataStream memory;
  DataStreamOpen(&memory, nullptr, nullptr, bytes.data(), 4);
  uint32_t value = 0;
  EXPECT_EQ(DataStreamReadU32(&memory, &value, 1), 1);
  EXPECT_EQ(value, 0x04030201u);

  DataStream file;
  DataStreamOpen(&file, WriteTestFile(bytes).c_str(), "rb", nullptr, 0);
  uint16_t halves[3] = {7, 7, 7};
  // A file that ends early still reports the count asked; the missing value is 0.
  EXPECT_EQ(DataStreamReadU16(&file, halves, 3), 3);
  EXPECT_EQ(halves[1], 0x0403);
  EXPECT_EQ(halves[2], 0);
  EXPECT_EQ(DataStreamClose(&file), 0);
  EXPECT_EQ(DataStreamRead(&file, halves, 2, 1), 0) << "a closed stream is empty";
}

// Whatever was written reaches the file when a stream is opened again or
// goes away without a close.
TEST(DataStream, AStreamClosesItsFileWhenReopenedOrGone) {
  const std::string first = WriteTestFile({0});
  const std::string second = first + ".2";
  const uint8_t bytes[3] = {1, 2, 3};
  {
    DataStream stream;
    DataStreamOpen(&stream, first.c_str(), "wb", nullptr, 0);
    ASSERT_EQ(DataStreamWrite(&stream, bytes, 1, 3), 3);
    DataStreamOpen(&stream, second.c_str(), "wb", nullptr, 0);
    ASSERT_EQ(DataStreamWrite(&stream, bytes, 1, 2), 2);
  }
  EXPECT_EQ(std::filesystem::file_size(first), 3u);
  EXPECT_EQ(std::filesystem::file_size(second), 2u);
}

TEST(DataStream, MemoryTransfersNeverPassTheBlock) {
  std::array<uint8_t, 6> block{};
  DataStream stream;
  DataStreamOpen(&stream, nullptr, nullptr, block.data(), 6);
  const uint8_t source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(DataStreamWrite(&stream, source, 4, 2), 1);
  EXPECT_EQ(DataStreamWrite(&stream, source, 1, 8), 2);
  EXPECT_EQ(block[5], 2);
  ASSERT_EQ(DataStreamSeek(&stream, 3, SeekFrom::Start), 0);
  uint32_t words[2] = {};
  EXPECT_EQ(DataStreamReadU32(&stream, words, 2), 0);
  uint8_t out[8] = {};
  EXPECT_EQ(DataStreamRead(&stream, out, 1, 8), 3);

  DataStream missing;
  DataStreamOpen(&missing, "/nonexistent/folder/x", "rb", nullptr, 0);
  EXPECT_EQ(DataStreamRead(&missing, out, 1, 1), 0);
  EXPECT_EQ(DataStreamSeek(&missing, 3, SeekFrom::Start), 0);
  EXPECT_EQ(DataStreamTell(&missing), 0);
}

TEST(StreamHeader, TablesFollowTheHeader) {
  DataStream stream;
  DataStreamOpen(&stream, WriteTestFile(HeaderBytes(3, 3)).c_str(), "rb", nullptr, 0);
  StreamHeader header;
  ASSERT_EQ(ReadStreamHeader(&stream, &header), StreamHeaderResult::Ok);
  EXPECT_EQ(header.gridOrder, 21);
  EXPECT_EQ(header.framesDown, 2);
  EXPECT_EQ(header.framesAcross, 3);
  EXPECT_EQ(header.frameWidth, 64);
  EXPECT_EQ(header.frameHeight, 48);
  EXPECT_EQ(header.offsets, (std::vector<uint32_t>{1000, 1001, 1002}));
  EXPECT_EQ(header.sizes, (std::vector<uint32_t>{10, 11, 12}));
  EXPECT_EQ(DataStreamClose(&stream), 0);
}

TEST(StreamHeader, SizesBeyondTheStreamAreRefusedBeforeAllocating) {
  struct Case {
    uint32_t headerLength, count;
    size_t entries;
  };
  for (const Case c : {Case{72, 0x40000000, 2}, Case{72, 3, 2}, Case{0xFFFFFF00u, 1, 1}, Case{16, 1, 8}}) {
    std::vector<uint8_t> bytes = HeaderBytes(c.count, c.entries);
    PutU32(bytes, 12, c.headerLength);
    DataStream stream;
    DataStreamOpen(&stream, nullptr, nullptr, bytes.data(), static_cast<int32_t>(bytes.size()));
    StreamHeader header;
    EXPECT_EQ(ReadStreamHeader(&stream, &header), StreamHeaderResult::BadTables) << c.headerLength << " " << c.count;
    EXPECT_TRUE(header.offsets.empty());
  }
  std::vector<uint8_t> shortHeader(40, 0);
  DataStream stream;
  DataStreamOpen(&stream, nullptr, nullptr, shortHeader.data(), 40);
  StreamHeader header;
  EXPECT_EQ(ReadStreamHeader(&stream, &header), StreamHeaderResult::Truncated);
}

}  // namespace
}  // namespace vx
