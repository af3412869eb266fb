#include "platform/media/PictRaster.h"

#include <algorithm>
#include <utility>

#include "platform/media/MediaPlatformLimits.h"

namespace vx::pict {
namespace {

constexpr uint16_t kRegionEnd = 0x7FFF;
constexpr uint16_t kPixMapFlag = 0x8000;
constexpr uint16_t kRowBytesMask = 0x3FFF;
constexpr uint16_t kDeviceColorTable = 0x8000;
// Rows of more bytes than this carry a 16-bit byte count, others an 8-bit one.
constexpr int32_t kShortCountRowBytes = 250;
// Rows of fewer bytes than this are never packed.
constexpr int32_t kPackedRowBytes = 8;
constexpr uint32_t kWhite = 0xFFFFFF;

bool IsDirect(uint16_t opcode) { return opcode == 0x9A || opcode == 0x9B; }
bool IsMasked(uint16_t opcode) { return (opcode & 1) != 0; }
bool IsPackedOpcode(uint16_t opcode) { return opcode >= 0x98; }

uint32_t Xrgb(uint32_t red, uint32_t green, uint32_t blue) { return (red << 16) | (green << 8) | blue; }

// The fields of a pixel map after its row bytes and bounds.
bool ReadPixMapFields(Bytes& bytes, Raster* raster, uint16_t* packType) {
  uint16_t version = 0;
  uint16_t pixelType = 0;
  uint16_t pixelSize = 0;
  uint16_t components = 0;
  if (!bytes.U16(&version) || !bytes.U16(packType) || !bytes.Skip(12) || !bytes.U16(&pixelType) ||
      !bytes.U16(&pixelSize) || !bytes.U16(&components) || !bytes.Skip(14))
    return false;
  raster->pixelSize = pixelSize;
  raster->components = components;
  return true;
}

// Colours are 16 bits a channel; a device table lists them by position,
// any other by the pixel value each entry names.
bool ReadColorTable(Bytes& bytes, Raster* raster) {
  uint16_t flags = 0;
  uint16_t last = 0;
  if (!bytes.Skip(4) || !bytes.U16(&flags) || !bytes.U16(&last)) return false;
  const uint32_t entries = last == 0xFFFF ? 0 : uint32_t{last} + 1;
  for (uint32_t i = 0; i < entries; ++i) {
    uint16_t value = 0;
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;
    if (!bytes.U16(&value) || !bytes.U16(&red) || !bytes.U16(&green) || !bytes.U16(&blue)) return false;
    const uint32_t index = (flags & kDeviceColorTable) != 0 ? i : value;
    if (index < raster->colors.size()) raster->colors[index] = Xrgb(red >> 8, green >> 8, blue >> 8);
  }
  return true;
}

bool ChoosePacking(Raster* raster, uint16_t opcode, uint16_t packType) {
  if (!IsDirect(opcode)) {
    raster->packing = IsPackedOpcode(opcode) && raster->rowBytes >= kPackedRowBytes ? RowPacking::PackBits : RowPacking::Plain;
    return raster->pixelSize == 1 || raster->pixelSize == 2 || raster->pixelSize == 4 || raster->pixelSize == 8;
  }
  if (raster->pixelSize == 16) {
    if (packType != 0 && packType != 1 && packType != 3) return false;
    raster->packing = packType == 1 || raster->rowBytes < kPackedRowBytes ? RowPacking::Plain : RowPacking::PackWords;
    return true;
  }
  if (raster->pixelSize != 32 || (raster->components != 3 && raster->components != 4)) return false;
  switch (packType) {
    case 0:
    case 4: raster->packing = raster->rowBytes < kPackedRowBytes ? RowPacking::Plain : RowPacking::Components; return true;
    case 1: raster->packing = RowPacking::Plain; return true;
    case 2: raster->packing = RowPacking::ThreeBytes; return true;
    default: return false;
  }
}

// The bytes a row unpacks to, and those of them its pixels need.
int64_t RowCapacity(const Raster& raster) {
  const int64_t width = raster.bounds.Width();
  switch (raster.packing) {
    case RowPacking::Components: return width * raster.components;
    case RowPacking::ThreeBytes: return width * 3;
    default: return raster.rowBytes;
  }
}

int64_t RowNeed(const Raster& raster) {
  const int64_t width = raster.bounds.Width();
  switch (raster.packing) {
    case RowPacking::Components:
    case RowPacking::ThreeBytes: return RowCapacity(raster);
    default: return (width * raster.pixelSize + 7) / 8;
  }
}

bool SizesFit(const Raster& raster) {
  const int32_t width = raster.bounds.Width();
  const int32_t height = raster.bounds.Height();
  return width >= 0 && height >= 0 && width <= kMaxPictSide && height <= kMaxPictSide &&
         RowNeed(raster) <= RowCapacity(raster);
}

// Finds where each row starts; rows that take no bytes (a map of no width)
// are not walked.
bool FindRows(Bytes& bytes, Raster* raster) {
  const int32_t rows = raster->bounds.Height();
  const bool counted = raster->packing == RowPacking::PackBits || raster->packing == RowPacking::PackWords ||
                       raster->packing == RowPacking::Components;
  const auto plainBytes = static_cast<size_t>(RowCapacity(*raster));
  if (!counted && plainBytes == 0) return true;
  raster->rowStarts.reserve(static_cast<size_t>(rows) + 1);
  for (int32_t row = 0; row < rows; ++row) {
    raster->rowStarts.push_back(bytes.At());
    size_t size = plainBytes;
    if (counted) {
      uint16_t count = 0;
      uint8_t shortCount = 0;
      const bool read = raster->rowBytes > kShortCountRowBytes ? bytes.U16(&count) : bytes.U8(&shortCount);
      if (!read) return false;
      size = raster->rowBytes > kShortCountRowBytes ? count : shortCount;
    }
    if (!bytes.Skip(size)) return false;
  }
  raster->rowStarts.push_back(bytes.At());
  return true;
}

// PackBits: a flag byte n, then n + 1 units as they are (n >= 0), or one
// unit repeated 1 - n times (n < 0; -128 is nothing). Returns the bytes
// written, at most out's size.
size_t UnpackBits(std::span<const uint8_t> in, std::span<uint8_t> out, size_t unit) {
  size_t read = 0;
  size_t written = 0;
  while (written < out.size() && read < in.size()) {
    const auto flag = static_cast<int8_t>(in[read++]);
    if (flag == -128) continue;
    if (flag >= 0) {
      const size_t count = std::min({(static_cast<size_t>(flag) + 1) * unit, in.size() - read, out.size() - written});
      std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(read), count, out.begin() + static_cast<std::ptrdiff_t>(written));
      read += (static_cast<size_t>(flag) + 1) * unit;
      written += count;
      continue;
    }
    if (in.size() - read < unit) break;
    for (int repeat = 0; repeat < 1 - flag && written < out.size(); ++repeat)
      for (size_t k = 0; k < unit && written < out.size(); ++k) out[written++] = in[read + k];
    read += unit;
  }
  return written;
}

// The row's bytes, unpacked; false when they do not hold its pixels.
bool UnpackRow(std::span<const uint8_t> file, const Raster& raster, int32_t row, std::vector<uint8_t>* out) {
  out->assign(static_cast<size_t>(RowCapacity(raster)), 0);
  const size_t start = raster.rowStarts[static_cast<size_t>(row)];
  const size_t end = raster.rowStarts[static_cast<size_t>(row) + 1];
  std::span<const uint8_t> bytes = file.subspan(start, end - start);
  if (raster.packing == RowPacking::Plain || raster.packing == RowPacking::ThreeBytes) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), out->size()), out->begin());
    return true;
  }
  bytes = bytes.subspan(raster.rowBytes > kShortCountRowBytes ? 2 : 1);
  const size_t unit = raster.packing == RowPacking::PackWords ? 2 : 1;
  return UnpackBits(bytes, *out, unit) >= static_cast<size_t>(RowNeed(raster));
}

uint32_t Expand5(uint32_t value) { return (value << 3) | (value >> 2); }

uint32_t PixelAt(const Raster& raster, std::span<const uint8_t> row, int32_t x) {
  const auto at = static_cast<size_t>(x);
  const size_t width = static_cast<size_t>(raster.bounds.Width());
  switch (raster.packing) {
    case RowPacking::Components: {
      const size_t red = raster.components == 4 ? width : 0;
      return Xrgb(row[red + at], row[red + width + at], row[red + 2 * width + at]);
    }
    case RowPacking::ThreeBytes: return Xrgb(row[3 * at], row[3 * at + 1], row[3 * at + 2]);
    default: break;
  }
  if (raster.pixelSize == 32) return Xrgb(row[4 * at + 1], row[4 * at + 2], row[4 * at + 3]);
  if (raster.pixelSize == 16) {
    const uint32_t word = (uint32_t{row[2 * at]} << 8) | row[2 * at + 1];
    return Xrgb(Expand5((word >> 10) & 31), Expand5((word >> 5) & 31), Expand5(word & 31));
  }
  const size_t bit = at * static_cast<size_t>(raster.pixelSize);
  const int shift = 8 - raster.pixelSize - static_cast<int>(bit % 8);
  const uint32_t index = (row[bit / 8] >> shift) & ((1u << raster.pixelSize) - 1);
  return raster.colors[index];
}

// A point of the destination to the source point it shows (nearest).
int32_t SourceOf(int32_t point, int32_t destinationStart, int32_t destinationSide, int32_t sourceStart,
                 int32_t sourceSide) {
  return static_cast<int32_t>(sourceStart + ((2 * int64_t{point - destinationStart} + 1) * sourceSide) /
                                                (2 * int64_t{destinationSide}));
}

// The indices of the increasing coordinates that lie in [start, end).
std::pair<size_t, size_t> RangeWithin(std::span<const int32_t> coordinates, int32_t start, int32_t end) {
  const auto first = std::lower_bound(coordinates.begin(), coordinates.end(), start);
  const auto last = std::lower_bound(first, coordinates.end(), end);
  return {static_cast<size_t>(first - coordinates.begin()), static_cast<size_t>(last - coordinates.begin())};
}

// The mask of the canvas rows, one after the other: the parity of the
// inversion points at or above and left of each column's point.
class MaskRows {
 public:
  MaskRows(const Region& region, std::span<const int32_t> columns)
      : region_(region), columns_(columns), flips_(columns.size(), 0), inside_(columns.size(), 0) {}

  std::span<const uint8_t> Row(int32_t y) {
    if (region_.rectangle) {
      const bool rowInside = y >= region_.bounds.top && y < region_.bounds.bottom;
      for (size_t i = 0; i < columns_.size(); ++i)
        inside_[i] = rowInside && columns_[i] >= region_.bounds.left && columns_[i] < region_.bounds.right;
      return inside_;
    }
    while (next_ < region_.lines.size() && region_.lines[next_].y <= y) {
      for (const int32_t x : region_.lines[next_].xs) {
        const auto first = static_cast<size_t>(std::lower_bound(columns_.begin(), columns_.end(), x) - columns_.begin());
        if (first < flips_.size()) flips_[first] ^= 1;
      }
      ++next_;
    }
    uint8_t parity = 0;
    for (size_t i = 0; i < columns_.size(); ++i) inside_[i] = parity ^= flips_[i];
    return inside_;
  }

 private:
  const Region& region_;
  std::span<const int32_t> columns_;
  std::vector<uint8_t> flips_;
  std::vector<uint8_t> inside_;
  size_t next_ = 0;
};

}  // namespace

bool Bytes::Skip(size_t count) {
  if (count > Left()) return false;
  at_ += count;
  return true;
}

bool Bytes::U8(uint8_t* out) {
  if (Left() < 1) return false;
  *out = bytes_[at_++];
  return true;
}

bool Bytes::U16(uint16_t* out) {
  if (Left() < 2) return false;
  *out = static_cast<uint16_t>((bytes_[at_] << 8) | bytes_[at_ + 1]);
  at_ += 2;
  return true;
}

bool Bytes::U32(uint32_t* out) {
  uint16_t high = 0;
  uint16_t low = 0;
  if (Left() < 4 || !U16(&high) || !U16(&low)) return false;
  *out = (uint32_t{high} << 16) | low;
  return true;
}

bool Bytes::S16(int16_t* out) {
  uint16_t value = 0;
  if (!U16(&value)) return false;
  *out = static_cast<int16_t>(value);
  return true;
}

bool ReadRect(Bytes& bytes, Rect* out) {
  int16_t top = 0;
  int16_t left = 0;
  int16_t bottom = 0;
  int16_t right = 0;
  if (bytes.Left() < 8 || !bytes.S16(&top) || !bytes.S16(&left) || !bytes.S16(&bottom) || !bytes.S16(&right))
    return false;
  *out = {top, left, bottom, right};
  return true;
}

bool ReadRegion(Bytes& bytes, Region* out) {
  const size_t start = bytes.At();
  uint16_t size = 0;
  constexpr uint16_t kRectangleRegion = 10;
  if (!bytes.U16(&size) || size < kRectangleRegion || !ReadRect(bytes, &out->bounds)) return false;
  const size_t end = start + size;
  if (end > bytes.Span().size()) return false;
  out->lines.clear();
  out->rectangle = size == kRectangleRegion;
  Bytes points(bytes.Span().first(end), bytes.At());
  for (uint16_t y = 0; !out->rectangle;) {
    if (!points.U16(&y)) return false;
    if (y == kRegionEnd) break;
    Region::Line line{static_cast<int16_t>(y), {}};
    for (uint16_t x = 0;;) {
      if (!points.U16(&x)) return false;
      if (x == kRegionEnd) break;
      line.xs.push_back(static_cast<int16_t>(x));
    }
    out->lines.push_back(std::move(line));
  }
  return bytes.Skip(end - bytes.At());
}

bool SkipSized(Bytes& bytes) {
  uint16_t size = 0;
  return bytes.U16(&size) && size >= 2 && bytes.Skip(size - 2u);
}

bool IsRasterOpcode(uint16_t opcode) {
  return opcode == 0x90 || opcode == 0x91 || opcode == 0x98 || opcode == 0x99 || opcode == 0x9A || opcode == 0x9B;
}

// A bit map (row bytes without the pixel-map flag) has 1-bit pixels, 0
// white and 1 black; direct maps start with a base address that is unused.
bool ReadRaster(Bytes& bytes, uint16_t opcode, Raster* out) {
  Raster& raster = *out;
  raster = {};
  uint16_t rowWord = 0;
  if ((IsDirect(opcode) && !bytes.Skip(4)) || !bytes.U16(&rowWord) || !ReadRect(bytes, &raster.bounds)) return false;
  raster.rowBytes = rowWord & kRowBytesMask;
  uint16_t packType = 0;
  const bool pixMap = (rowWord & kPixMapFlag) != 0 || IsDirect(opcode);
  if (pixMap) {
    if (!ReadPixMapFields(bytes, &raster, &packType)) return false;
    if (!IsDirect(opcode) && !ReadColorTable(bytes, &raster)) return false;
  } else {
    raster.pixelSize = 1;
    raster.colors[0] = kWhite;
  }
  if (!ReadRect(bytes, &raster.source) || !ReadRect(bytes, &raster.destination) || !bytes.Skip(2)) return false;
  raster.masked = IsMasked(opcode);
  if (raster.masked && !ReadRegion(bytes, &raster.mask)) return false;
  if (!ChoosePacking(&raster, opcode, packType) || !SizesFit(raster)) return false;
  return FindRows(bytes, &raster);
}

// A pattern of type 1 carries a pixel map with its colours and rows, one
// of type 2 a colour; both follow an old 8-byte pattern.
bool SkipPixelPattern(Bytes& bytes) {
  constexpr uint16_t kPixMapPattern = 1;
  constexpr uint16_t kDitherPattern = 2;
  uint16_t type = 0;
  if (!bytes.U16(&type) || !bytes.Skip(8)) return false;
  if (type == kDitherPattern) return bytes.Skip(6);
  if (type != kPixMapPattern) return true;
  Raster raster;
  uint16_t rowWord = 0;
  uint16_t packType = 0;
  if (!bytes.U16(&rowWord) || !ReadRect(bytes, &raster.bounds) || !ReadPixMapFields(bytes, &raster, &packType) ||
      !ReadColorTable(bytes, &raster))
    return false;
  raster.rowBytes = rowWord & kRowBytesMask;
  return ChoosePacking(&raster, 0x98, packType) && SizesFit(raster) && FindRows(bytes, &raster);
}

std::vector<int32_t> SpaceOf(int32_t first, int32_t count, int32_t frameSide, int32_t spaceStart, int32_t spaceSide) {
  std::vector<int32_t> space(static_cast<size_t>(std::max(count, 0)));
  for (int32_t i = 0; i < count; ++i) {
    const int64_t pixel = int64_t{first} + i;
    space[static_cast<size_t>(i)] =
        static_cast<int32_t>(spaceStart + ((2 * pixel + 1) * spaceSide) / (2 * int64_t{frameSide}));
  }
  return space;
}

int64_t DrawRaster(std::span<const uint8_t> file, const Raster& raster, const Canvas& canvas) {
  const Rect& source = raster.source;
  const Rect& destination = raster.destination;
  if (source.IsEmpty() || destination.IsEmpty() || raster.rowStarts.empty()) return 0;
  const auto [firstColumn, endColumn] = RangeWithin(canvas.columns, destination.left, destination.right);
  const auto [firstRow, endRow] = RangeWithin(canvas.rows, destination.top, destination.bottom);
  const std::span<const int32_t> columns = canvas.columns.subspan(firstColumn, endColumn - firstColumn);
  // Each column's pixel of the map, -1 where none shows.
  std::vector<int32_t> mapColumns(columns.size(), -1);
  for (size_t i = 0; i < columns.size(); ++i) {
    const int32_t x = SourceOf(columns[i], destination.left, destination.Width(), source.left, source.Width()) -
                      raster.bounds.left;
    if (x >= 0 && x < raster.bounds.Width()) mapColumns[i] = x;
  }
  MaskRows mask(raster.mask, columns);
  std::vector<uint8_t> row;
  int32_t unpacked = -1;
  int64_t work = static_cast<int64_t>(columns.size() + (endRow - firstRow));
  for (size_t y = firstRow; y < endRow; ++y) {
    const int32_t point = canvas.rows[y];
    const int32_t mapRow =
        SourceOf(point, destination.top, destination.Height(), source.top, source.Height()) - raster.bounds.top;
    if (mapRow < 0 || mapRow >= raster.bounds.Height()) continue;
    if (mapRow != unpacked) {
      if (!UnpackRow(file, raster, mapRow, &row)) return -1;
      unpacked = mapRow;
      work += static_cast<int64_t>(row.size());
    }
    const std::span<const uint8_t> inside = raster.masked ? mask.Row(point) : std::span<const uint8_t>();
    uint32_t* target = canvas.pixels + y * static_cast<size_t>(canvas.width) + firstColumn;
    for (size_t x = 0; x < mapColumns.size(); ++x) {
      if (mapColumns[x] < 0 || (raster.masked && !inside[x])) continue;
      target[x] = PixelAt(raster, row, mapColumns[x]);
    }
    work += static_cast<int64_t>(mapColumns.size());
  }
  return work;
}

}  // namespace vx::pict
