#include "common/DataStream.h"

#include <algorithm>
#include <cstring>

namespace vx {
namespace {

bool IsFile(const DataStream* stream) { return stream->file != nullptr; }
bool IsMemory(const DataStream* stream) { return !IsFile(stream) && stream->memory != nullptr; }

// Whole items of itemSize bytes that fit between the position and the end of
// the memory block, at most count.
int32_t ItemsThatFit(const DataStream* stream, int32_t itemSize, int32_t count) {
  if (itemSize <= 0 || count <= 0) return 0;
  const int64_t room = std::max<int64_t>(0, int64_t{stream->size} - stream->position);
  return static_cast<int32_t>(std::min<int64_t>(count, room / itemSize));
}

// Memory mode: hands `copy` the block's bytes at the position, as many as
// the whole items that fit take, and moves past them. Returns the items moved.
template <typename Copy>
int32_t MemoryTransfer(DataStream* stream, int32_t itemSize, int32_t count, Copy copy) {
  if (!IsMemory(stream)) return 0;
  const int32_t fit = ItemsThatFit(stream, itemSize, count);
  const int32_t bytes = fit * itemSize;
  if (bytes > 0) copy(stream->memory + stream->position, static_cast<size_t>(bytes));
  stream->position += bytes;
  return fit;
}

uint32_t LittleEndian(const uint8_t* bytes, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

// Reads count values of width bytes. File mode reads value by value and
// reports count (a short file leaves zeros); memory mode reports what fit.
template <typename T>
int32_t ReadLittleEndian(DataStream* stream, T* destination, int32_t count) {
  constexpr int kWidth = sizeof(T);
  if (IsFile(stream)) {
    for (int32_t i = 0; i < count; ++i) {
      uint8_t bytes[kWidth] = {};
      if (std::fread(bytes, 1, kWidth, stream->file.get()) != kWidth) std::memset(bytes, 0, kWidth);
      destination[i] = static_cast<T>(LittleEndian(bytes, kWidth));
    }
    return count;
  }
  if (!IsMemory(stream)) return 0;
  const int32_t fit = ItemsThatFit(stream, kWidth, count);
  for (int32_t i = 0; i < fit; ++i) {
    destination[i] = static_cast<T>(LittleEndian(stream->memory + stream->position, kWidth));
    stream->position += kWidth;
  }
  return fit;
}

}  // namespace

void DataStreamOpen(DataStream* stream, const char* name, const char* mode, uint8_t* memory,
                    int32_t size) {
  *stream = DataStream{};
  if (name) {
    stream->file.reset(std::fopen(name, mode));
    return;
  }
  stream->memory = memory;
  stream->size = memory ? std::max(0, size) : 0;
}

int32_t DataStreamClose(DataStream* stream) {
  if (!IsFile(stream)) return 0;
  return std::fclose(stream->file.release());
}

int32_t DataStreamWrite(DataStream* stream, const void* source, int32_t itemSize, int32_t count) {
  if (IsFile(stream)) {
    if (itemSize <= 0 || count <= 0) return 0;
    return static_cast<int32_t>(std::fwrite(source, itemSize, count, stream->file.get()));
  }
  return MemoryTransfer(stream, itemSize, count, [&](uint8_t* at, size_t bytes) { std::memcpy(at, source, bytes); });
}

int32_t DataStreamRead(DataStream* stream, void* destination, int32_t itemSize, int32_t count) {
  if (IsFile(stream)) {
    if (itemSize <= 0 || count <= 0) return 0;
    return static_cast<int32_t>(std::fread(destination, itemSize, count, stream->file.get()));
  }
  return MemoryTransfer(stream, itemSize, count,
                        [&](uint8_t* at, size_t bytes) { std::memcpy(destination, at, bytes); });
}

int32_t DataStreamReadU16(DataStream* stream, uint16_t* destination, int32_t count) {
  return ReadLittleEndian(stream, destination, count);
}

int32_t DataStreamReadU32(DataStream* stream, uint32_t* destination, int32_t count) {
  return ReadLittleEndian(stream, destination, count);
}

int32_t DataStreamSeek(DataStream* stream, int32_t offset, SeekFrom whence) {
  if (IsFile(stream)) return std::fseek(stream->file.get(), offset, static_cast<int>(whence));
  if (!IsMemory(stream)) return 0;
  int64_t target = offset;
  if (whence == SeekFrom::Current) target = int64_t{stream->position} + offset;
  if (whence == SeekFrom::End) target = int64_t{stream->size} - 1 - offset;
  if (target < 0 || target >= stream->size) return 1;
  stream->position = static_cast<int32_t>(target);
  return 0;
}

int32_t DataStreamTell(DataStream* stream) {
  if (IsFile(stream)) return static_cast<int32_t>(std::ftell(stream->file.get()));
  return stream->position;
}

int64_t DataStreamLength(DataStream* stream) {
  if (IsMemory(stream)) return stream->size;
  if (!IsFile(stream)) return 0;
  const long here = std::ftell(stream->file.get());
  if (here < 0 || std::fseek(stream->file.get(), 0, SEEK_END) != 0) return 0;
  const long length = std::ftell(stream->file.get());
  std::fseek(stream->file.get(), here, SEEK_SET);
  return std::max<long>(0, length);
}

namespace {

void ReadHeaderFields(DataStream* stream, StreamHeader* header) {
  DataStreamReadU32(stream, &header->formatWord, 1);
  for (uint32_t& word : header->words1) DataStreamReadU32(stream, &word, 1);
  DataStreamReadU32(stream, &header->headerLength, 1);
  for (uint32_t& word : header->words2) DataStreamReadU32(stream, &word, 1);
  for (uint16_t* half : {&header->gridOrder, &header->framesDown, &header->framesAcross,
                         &header->gridSpare, &header->frameWidth, &header->frameHeight})
    DataStreamReadU16(stream, half, 1);
  DataStreamReadU32(stream, &header->count, 1);
  DataStreamReadU32(stream, header->words3, 8);
}

}  // namespace

StreamHeaderResult ReadStreamHeader(DataStream* stream, StreamHeader* header) {
  FreeStreamHeader(header);
  const int64_t start = DataStreamTell(stream);
  const int64_t length = DataStreamLength(stream);
  if (start < 0 || length - start < kStreamHeaderBytes) return StreamHeaderResult::Truncated;
  ReadHeaderFields(stream, header);

  // Both tables must lie inside the stream before anything is allocated.
  const int64_t tablesStart = start + header->headerLength;
  const int64_t tablesBytes = int64_t{header->count} * 2 * sizeof(uint32_t);
  if (header->headerLength < static_cast<uint32_t>(kStreamHeaderBytes) ||
      tablesStart + tablesBytes > length || tablesStart > INT32_MAX)
    return StreamHeaderResult::BadTables;

  if (DataStreamSeek(stream, static_cast<int32_t>(tablesStart), SeekFrom::Start) != 0 &&
      header->count > 0)
    return StreamHeaderResult::BadTables;
  header->offsets.resize(header->count);
  header->sizes.resize(header->count);
  const auto count = static_cast<int32_t>(header->count);
  if (DataStreamReadU32(stream, header->offsets.data(), count) != count ||
      DataStreamReadU32(stream, header->sizes.data(), count) != count) {
    FreeStreamHeader(header);
    return StreamHeaderResult::BadTables;
  }
  return StreamHeaderResult::Ok;
}

void FreeStreamHeader(StreamHeader* header) {
  header->offsets = {};
  header->sizes = {};
}

}  // namespace vx
