#include "platform/media/MovieAtoms.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>

#include "platform/Faults.h"
#include "platform/media/MediaPlatformLimits.h"

namespace vx {
namespace {

using Bytes = std::span<const uint8_t>;

constexpr size_t kAtomHeader = 8;
constexpr size_t kLargeAtomHeader = 16;

uint64_t ReadBig(Bytes bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value = (value << 8) | bytes[at + i];
  return value;
}

// Reads `width` bytes at `at` when they are there.
std::optional<uint64_t> Field(Bytes bytes, size_t at, size_t width) {
  if (at > bytes.size() || bytes.size() - at < width) return std::nullopt;
  return ReadBig(bytes, at, width);
}

struct Atom {
  uint32_t type = 0;
  Bytes body;
};

// The atoms one after another inside `bytes`; the walk ends at the first
// atom whose size does not fit.
class AtomWalk {
 public:
  explicit AtomWalk(Bytes bytes) : bytes_(bytes) {}

  std::optional<Atom> Next() {
    const size_t left = bytes_.size() - at_;
    if (left < kAtomHeader) return std::nullopt;
    uint64_t size = ReadBig(bytes_, at_, 4);
    const auto type = static_cast<uint32_t>(ReadBig(bytes_, at_ + 4, 4));
    size_t header = kAtomHeader;
    if (size == 1) {
      if (left < kLargeAtomHeader) return std::nullopt;
      size = ReadBig(bytes_, at_ + 8, 8);
      header = kLargeAtomHeader;
    } else if (size == 0) {
      size = left;
    }
    if (size < header || size > left) return std::nullopt;
    Atom atom{type, bytes_.subspan(at_ + header, static_cast<size_t>(size) - header)};
    at_ += static_cast<size_t>(size);
    return atom;
  }

 private:
  Bytes bytes_;
  size_t at_ = 0;
};

std::optional<Bytes> Child(Bytes parent, uint32_t type) {
  AtomWalk walk(parent);
  while (const auto atom = walk.Next())
    if (atom->type == type) return atom->body;
  return std::nullopt;
}

// Follows a path of nested atoms from `parent`.
std::optional<Bytes> Descend(Bytes parent, std::initializer_list<uint32_t> path) {
  std::optional<Bytes> at = parent;
  for (const uint32_t type : path) {
    at = Child(*at, type);
    if (!at) return std::nullopt;
  }
  return at;
}

uint32_t HeldTo32(uint64_t value) {
  return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

// The time scale and duration of a movie or media header: version 1 has
// 64-bit dates and duration.
struct TimeHeader {
  uint32_t timeScale = 0;
  uint32_t duration = 0;
  size_t end = 0;  // where the fields after the duration start
};

std::optional<TimeHeader> ReadTimeHeader(Bytes header) {
  const auto version = Field(header, 0, 1);
  if (!version) return std::nullopt;
  const size_t dateWidth = *version == 1 ? 8 : 4;
  const size_t scaleAt = 4 + 2 * dateWidth;
  const auto scale = Field(header, scaleAt, 4);
  const auto duration = Field(header, scaleAt + 4, dateWidth);
  if (!scale || !duration) return std::nullopt;
  return TimeHeader{static_cast<uint32_t>(*scale), HeldTo32(*duration), scaleAt + 4 + dateWidth};
}

MovieTrackAtoms ReadTrack(Bytes trak) {
  MovieTrackAtoms track;
  const auto media = Child(trak, FourCharCode("mdia"));
  if (!media) return track;
  if (const auto handler = Child(*media, FourCharCode("hdlr"))) {
    // Version and flags, component type, then the subtype: the handler type.
    track.handlerType = static_cast<uint32_t>(Field(*handler, 8, 4).value_or(0));
  }
  if (const auto header = Child(*media, FourCharCode("mdhd"))) {
    if (const auto times = ReadTimeHeader(*header)) track.mediaTimeScale = times->timeScale;
  }
  if (const auto table = Descend(*media, {FourCharCode("minf"), FourCharCode("stbl"), FourCharCode("stts")})) {
    const auto entries = Field(*table, 4, 4);
    const auto delta = Field(*table, 12, 4);
    if (entries && *entries > 0 && delta) {
      track.hasSamples = true;
      track.firstSampleDuration = static_cast<uint32_t>(*delta);
    }
  }
  return track;
}

// Items follow one another; the zero word that may close the list is too
// short to be an item.
void ReadUserData(Bytes udta, std::vector<MovieUserDataItem>* out) {
  AtomWalk walk(udta);
  while (out->size() < static_cast<size_t>(kMaxMovieUserDataItems)) {
    const auto item = walk.Next();
    if (!item) return;
    out->push_back({item->type, std::vector<uint8_t>(item->body.begin(), item->body.end())});
  }
}

}  // namespace

bool ParseMovieAtoms(Bytes moov, MovieAtoms* out) {
  *out = {};
  const auto header = Child(moov, FourCharCode("mvhd"));
  const auto times = header ? ReadTimeHeader(*header) : std::nullopt;
  if (!times) return false;
  out->timeScale = times->timeScale;
  out->duration = times->duration;
  out->preferredRate = static_cast<int32_t>(static_cast<uint32_t>(Field(*header, times->end, 4).value_or(0x10000)));
  AtomWalk walk(moov);
  while (const auto atom = walk.Next()) {
    if (atom->type == FourCharCode("trak") && out->tracks.size() < static_cast<size_t>(kMaxMovieTracks))
      out->tracks.push_back(ReadTrack(atom->body));
    else if (atom->type == FourCharCode("udta") && out->userData.empty())
      ReadUserData(atom->body, &out->userData);
  }
  return true;
}

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The header of the atom at the file's position, which it passes; its size
// counts from the atom's start.
bool ReadAtomHeader(std::FILE* file, uint64_t* size, uint32_t* type, uint64_t* headerSize) {
  uint8_t bytes[kLargeAtomHeader];
  if (std::fread(bytes, 1, kAtomHeader, file) != kAtomHeader) return false;
  *size = ReadBig(bytes, 0, 4);
  *type = static_cast<uint32_t>(ReadBig(bytes, 4, 4));
  *headerSize = kAtomHeader;
  if (*size == 1) {
    if (std::fread(bytes + kAtomHeader, 1, 8, file) != 8) return false;
    *size = ReadBig(bytes, 8, 8);
    *headerSize = kLargeAtomHeader;
  }
  return true;
}

}  // namespace

bool ReadMovieAtoms(const char* path, MovieAtoms* out) {
  *out = {};
  if (!path || ShouldFail(FaultKind::kOpen)) return false;
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) return false;
  for (int32_t atoms = 0; atoms < kMaxMovieTopLevelAtoms; ++atoms) {
    uint64_t size = 0;
    uint32_t type = 0;
    uint64_t header = 0;
    if (!ReadAtomHeader(file.get(), &size, &type, &header)) return false;
    // A size of 0 runs to the end of the file: only the last atom may.
    if (size == 0) return false;
    if (size < header) return false;
    const uint64_t body = size - header;
    if (type == FourCharCode("moov")) {
      if (body > static_cast<uint64_t>(kMaxMovieHeaderBytes)) return false;
      std::vector<uint8_t> bytes(static_cast<size_t>(body));
      if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
      return ParseMovieAtoms(bytes, out);
    }
    if (body > static_cast<uint64_t>(std::numeric_limits<long>::max()) ||
        std::fseek(file.get(), static_cast<long>(body), SEEK_CUR) != 0)
      return false;
  }
  return false;
}

}  // namespace vx
