// The byte stream shared by the hosts' downloads and the engine's readers.
//
// A plain record with free functions, built into every library that needs
// it. A stream reads and writes either a file it opened (file mode) or a block of
// memory that the caller owns (memory mode); with neither it is empty and
// every operation answers 0. Multi-byte values are little-endian.
//
// Memory mode never goes past the block: reads and writes move only the whole
// items that fit and report how many they moved, as file mode does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace vx {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// A stream that goes away or opens again closes the file it holds.
struct DataStream {
  std::unique_ptr<FILE, FileCloser> file;  // open between DataStreamOpen and DataStreamClose
  uint8_t* memory = nullptr;   // the caller's block; never owned
  int32_t size = 0;            // bytes in the memory block
  int32_t position = 0;        // offset in the memory block
};

enum class SeekFrom : int32_t { Start = 0, Current = 1, End = 2 };

// With a name, opens that file with fopen(name, mode); the stream is empty
// when the open fails. Without a name, takes the memory block (size bytes).
void DataStreamOpen(DataStream* stream, const char* name, const char* mode, uint8_t* memory,
                    int32_t size);

// File mode: the result of fclose, and the stream is empty afterwards.
// Otherwise 0.
int32_t DataStreamClose(DataStream* stream);

// Both return the number of whole items moved.
int32_t DataStreamWrite(DataStream* stream, const void* source, int32_t itemSize, int32_t count);
int32_t DataStreamRead(DataStream* stream, void* destination, int32_t itemSize, int32_t count);

// Read count little-endian values. File mode reports count even when the file
// ends early (the values past the end read as 0); memory mode reports the
// values that were in the block.
int32_t DataStreamReadU16(DataStream* stream, uint16_t* destination, int32_t count);
int32_t DataStreamReadU32(DataStream* stream, uint32_t* destination, int32_t count);

// 0 on success. Memory mode: End counts back from the last byte (size - 1 -
// offset); a position outside the block is refused with 1 and the position
// kept.
int32_t DataStreamSeek(DataStream* stream, int32_t offset, SeekFrom whence);
int32_t DataStreamTell(DataStream* stream);

// Bytes in the stream: the file's length or the block's size; 0 when empty.
int64_t DataStreamLength(DataStream* stream);

// The fixed 72-byte header of a block-codebook stream and its two tables of
// block offsets and sizes, which follow at start + headerLength.
struct StreamHeader {
  uint32_t formatWord = 0;
  uint32_t words1[2] = {};
  uint32_t headerLength = 0;
  uint32_t words2[2] = {};
  uint16_t gridOrder = 0;       // 12 or 21
  uint16_t framesDown = 0;
  uint16_t framesAcross = 0;
  uint16_t gridSpare = 0;
  uint16_t frameWidth = 0;
  uint16_t frameHeight = 0;
  uint32_t count = 0;           // entries in each table
  uint32_t words3[8] = {};
  std::vector<uint32_t> offsets;
  std::vector<uint32_t> sizes;
};

constexpr int32_t kStreamHeaderBytes = 72;

enum class StreamHeaderResult : int32_t { Ok = 0, Truncated = 1, BadTables = 2 };

// Reads the header at the current position and both tables. The header and
// its tables must lie inside the stream; anything else is refused before any
// table is allocated.
[[nodiscard]] StreamHeaderResult ReadStreamHeader(DataStream* stream, StreamHeader* header);
void FreeStreamHeader(StreamHeader* header);

}  // namespace vx
