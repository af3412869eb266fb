#include "PictTestFiles.h"

#include <cstdio>
#include <memory>

namespace vx::test {
namespace {

constexpr size_t kFileHeader = 512;

void Put8(std::string& out, uint32_t value) { out.push_back(static_cast<char>(value & 0xFF)); }
void Put16(std::string& out, uint32_t value) {
  Put8(out, value >> 8);
  Put8(out, value);
}
void Put32(std::string& out, uint32_t value) {
  Put16(out, value >> 16);
  Put16(out, value);
}
void PutRect(std::string& out, const PictRect& rect) {
  for (int32_t side : {rect.top, rect.left, rect.bottom, rect.right}) Put16(out, static_cast<uint16_t>(side));
}

// PackBits of units of that many bytes: runs of three or more equal units
// repeat, the rest go as they are.
std::string PackBits(const std::string& row, size_t unit) {
  std::string out;
  const size_t units = row.size() / unit;
  auto at = [&](size_t i) { return row.substr(i * unit, unit); };
  size_t i = 0;
  while (i < units) {
    size_t run = 1;
    while (i + run < units && run < 128 && at(i + run) == at(i)) ++run;
    if (run >= 3) {
      Put8(out, static_cast<uint32_t>(257 - run));
      out += at(i);
      i += run;
      continue;
    }
    size_t literal = 0;
    while (i + literal < units && literal < 128) {
      if (i + literal + 2 < units && at(i + literal) == at(i + literal + 1) && at(i + literal) == at(i + literal + 2))
        break;
      ++literal;
    }
    Put8(out, static_cast<uint32_t>(literal - 1));
    out += row.substr(i * unit, literal * unit);
    i += literal;
  }
  return out;
}

int32_t RowBytesOf(const PictRaster& raster) {
  const int32_t width = raster.bounds.Width();
  const int32_t bits = raster.bitMap ? 1 : raster.pixelSize;
  return ((width * bits + 15) / 16) * 2;
}

// The row's bytes as the pixel map holds them, before any packing.
std::string RowOf(const PictRaster& raster, int32_t y) {
  const int32_t width = raster.bounds.Width();
  const auto pixel = [&](int32_t x) { return raster.pixels[static_cast<size_t>(y * width + x)]; };
  std::string row;
  const bool direct = raster.opcode == 0x9A || raster.opcode == 0x9B;
  if (direct && raster.pixelSize == 32 && (raster.packType == 4 || raster.packType == 0)) {
    if (raster.components == 4)
      for (int32_t x = 0; x < width; ++x) Put8(row, 0xFF);
    for (int shift : {16, 8, 0})
      for (int32_t x = 0; x < width; ++x) Put8(row, pixel(x) >> shift);
    return row;
  }
  if (direct && raster.pixelSize == 32 && raster.packType == 2) {
    for (int32_t x = 0; x < width; ++x) {
      Put8(row, pixel(x) >> 16);
      Put8(row, pixel(x) >> 8);
      Put8(row, pixel(x));
    }
    return row;
  }
  if (direct && raster.pixelSize == 32) {
    for (int32_t x = 0; x < width; ++x) Put32(row, pixel(x));
    return row;
  }
  if (direct) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = pixel(x);
      Put16(row, ((c >> 19) & 31) << 10 | ((c >> 11) & 31) << 5 | ((c >> 3) & 31));
    }
    return row;
  }
  const int32_t bits = raster.bitMap ? 1 : raster.pixelSize;
  row.assign(static_cast<size_t>(RowBytesOf(raster)), '\0');
  for (int32_t x = 0; x < width; ++x) {
    const int32_t bit = x * bits;
    row[static_cast<size_t>(bit / 8)] |= static_cast<char>(pixel(x) << (8 - bits - bit % 8));
  }
  return row;
}

bool IsDirect(const PictRaster& raster) { return raster.opcode == 0x9A || raster.opcode == 0x9B; }

int32_t MapRowBytes(const PictRaster& raster) {
  return IsDirect(raster) ? raster.bounds.Width() * (raster.pixelSize / 8) : RowBytesOf(raster);
}

// Row bytes, bounds, and for a pixel map its fields and (indexed) colours.
void PutMap(std::string& out, const PictRaster& raster) {
  const bool direct = IsDirect(raster);
  Put16(out, static_cast<uint32_t>(MapRowBytes(raster)) | (raster.bitMap ? 0 : 0x8000));
  PutRect(out, raster.bounds);
  if (raster.bitMap) return;
  Put16(out, 0);                              // version
  Put16(out, direct ? raster.packType : 0);   // pack type
  Put32(out, 0);                              // pack size
  Put32(out, 72 << 16);                       // resolutions
  Put32(out, 72 << 16);
  Put16(out, direct ? 16 : 0);                // pixel type
  Put16(out, raster.pixelSize);
  Put16(out, direct ? raster.components : 1);
  Put16(out, direct ? (raster.pixelSize == 16 ? 5 : 8) : raster.pixelSize);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  if (direct) return;
  Put32(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(raster.palette.size() - 1));
  for (size_t i = 0; i < raster.palette.size(); ++i) {
    Put16(out, static_cast<uint32_t>(i));
    for (int shift : {16, 8, 0}) Put16(out, ((raster.palette[i] >> shift) & 0xFF) * 0x101);
  }
}

void PutRows(std::string& out, const PictRaster& raster) {
  const int32_t rowBytes = MapRowBytes(raster);
  const bool direct = IsDirect(raster);
  const bool plain = rowBytes < 8 || raster.opcode == 0x90 || raster.opcode == 0x91 ||
                     (direct && (raster.packType == 1 || raster.packType == 2));
  for (int32_t y = 0; y < raster.bounds.Height(); ++y) {
    const std::string row = RowOf(raster, y);
    if (plain) {
      out += row;
      continue;
    }
    const std::string packed = PackBits(row, direct && raster.pixelSize == 16 ? 2 : 1);
    if (rowBytes > 250)
      Put16(out, static_cast<uint32_t>(packed.size()));
    else
      Put8(out, static_cast<uint32_t>(packed.size()));
    out += packed;
  }
}

}  // namespace

std::string RectRegion(const PictRect& rect) {
  std::string region;
  Put16(region, 10);
  PutRect(region, rect);
  return region;
}

std::string SteppedRegion(const PictRect& rect) {
  const int32_t middleX = (rect.left + rect.right) / 2;
  const int32_t middleY = (rect.top + rect.bottom) / 2;
  std::string lines;
  auto line = [&lines](int32_t y, std::initializer_list<int32_t> xs) {
    Put16(lines, static_cast<uint16_t>(y));
    for (int32_t x : xs) Put16(lines, static_cast<uint16_t>(x));
    Put16(lines, 0x7FFF);
  };
  line(rect.top, {rect.left, middleX});
  line(middleY, {rect.left, rect.right});
  line(rect.bottom, {middleX, rect.right});
  Put16(lines, 0x7FFF);
  std::string region;
  Put16(region, static_cast<uint32_t>(10 + lines.size()));
  PutRect(region, rect);
  return region + lines;
}

PictWriter::PictWriter(int32_t version, const PictRect& frame, bool fileHeader) : version_(version) {
  if (fileHeader) bytes_.assign(kFileHeader, '\0');
  Put16(bytes_, 0);
  PutRect(bytes_, frame);
  if (version == 1) {
    bytes_ += "\x11\x01";
  } else {
    Put16(bytes_, 0x0011);
    Put16(bytes_, 0x02FF);
  }
}

PictWriter& PictWriter::ExtendedHeader(const PictRect& source) {
  std::string header;
  Put16(header, 0xFFFE);
  Put16(header, 0);
  Put32(header, 144 << 16);
  Put32(header, 144 << 16);
  PutRect(header, source);
  Put32(header, 0);
  return Opcode(0x0C00, header);
}

void PictWriter::Align() {
  if (version_ == 2 && bytes_.size() % 2 != 0) bytes_.push_back('\0');
}

void PictWriter::PutOpcode(uint16_t opcode) {
  Align();
  if (version_ == 2)
    Put16(bytes_, opcode);
  else
    Put8(bytes_, opcode);
}

PictWriter& PictWriter::Opcode(uint16_t opcode, const std::string& data) {
  PutOpcode(opcode);
  bytes_ += data;
  return *this;
}

PictWriter& PictWriter::Raster(const PictRaster& raster) {
  PutOpcode(raster.opcode);
  if (IsDirect(raster)) Put32(bytes_, 0xFF);
  PutMap(bytes_, raster);
  PutRect(bytes_, raster.source);
  PutRect(bytes_, raster.destination);
  Put16(bytes_, 0);  // copy mode
  if (raster.opcode & 1) bytes_ += raster.mask;
  PutRows(bytes_, raster);
  return *this;
}

std::string PixelPattern(const PictRaster& raster) {
  std::string pattern;
  Put16(pattern, 1);
  pattern.append(8, '\x55');
  PutMap(pattern, raster);
  PutRows(pattern, raster);
  return pattern;
}

std::string PictWriter::Bytes() const {
  PictWriter ended = *this;
  ended.PutOpcode(0x00FF);
  return ended.bytes_;
}

std::vector<uint32_t> ReadWithImageMagick(const std::string& path, int32_t* width, int32_t* height) {
  *width = 0;
  *height = 0;
  const std::string command = "convert 'pict:" + path + "' -depth 8 ppm:- 2>/dev/null";
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {};
  int maximum = 0;
  if (std::fscanf(pipe.get(), "P6 %d %d %d", width, height, &maximum) != 3 || maximum != 255) return {};
  std::fgetc(pipe.get());
  std::vector<uint32_t> pixels(static_cast<size_t>(*width) * static_cast<size_t>(*height));
  for (uint32_t& pixel : pixels) {
    uint8_t rgb[3] = {};
    if (std::fread(rgb, 1, 3, pipe.get()) != 3) return {};
    pixel = uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2];
  }
  return pixels;
}

}  // namespace vx::test
