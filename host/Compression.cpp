#include "host/Compression.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "host/ComponentManager.h"
#include "host/HostLimits.h"
#include "platform/Path.h"

namespace vx::host {
namespace {

constexpr std::string_view kGzipSuffix = ".gz";
constexpr int kGzipWindowBits = 16 + MAX_WBITS;  // gzip header and trailer
constexpr size_t kChunkSize = 64 * 1024;

constexpr int32_t kSuccess = 0;
constexpr int32_t kFailure = 1;

bool Exists(const std::string& path) {
  struct stat info{};
  return ::stat(path.c_str(), &info) == 0;
}

// A file descriptor closed when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  bool Close() {
    bool ok = fd_ < 0 || ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
};

// The output file under construction: a hidden temporary beside the target,
// removed unless Commit renames it into place.
class PendingOutput {
 public:
  explicit PendingOutput(const std::string& target)
      : target_(target), temp_(path::DirectoryOf(target) + "." + path::FileNameOf(target) + ".XXXXXX"),
        file_(::mkstemp(temp_.data())) {
    if (!file_.IsOpen()) temp_.clear();
  }
  ~PendingOutput() {
    file_.Close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  bool IsOpen() const { return file_.IsOpen(); }

  bool Write(const unsigned char* data, size_t size) {
    while (size > 0) {
      ssize_t written = ::write(file_.Get(), data, size);
      if (written <= 0) return false;
      data += written;
      size -= static_cast<size_t>(written);
    }
    return true;
  }

  // Gives the result the source's permissions and moves it into place.
  bool Commit(mode_t mode) {
    if (::fchmod(file_.Get(), mode) != 0 || !file_.Close()) return false;
    if (Exists(target_) || ::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    temp_.clear();
    return true;
  }

 private:
  std::string target_;
  std::string temp_;
  FileDescriptor file_;
};

// Reads the whole source through deflate into a gzip stream.
bool Deflate(int source, uint64_t, PendingOutput& output) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return false;
  std::array<unsigned char, kChunkSize> in{};
  std::array<unsigned char, kChunkSize> out{};
  int status = Z_OK;
  bool ok = true;
  while (ok && status != Z_STREAM_END) {
    ssize_t got = ::read(source, in.data(), in.size());
    if (got < 0) break;
    int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
    stream.next_in = in.data();
    stream.avail_in = static_cast<uInt>(got);
    do {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      status = deflate(&stream, flush);
      ok = status != Z_STREAM_ERROR && output.Write(out.data(), out.size() - stream.avail_out);
    } while (ok && stream.avail_out == 0);
  }
  deflateEnd(&stream);
  return ok && status == Z_STREAM_END;
}

}  // namespace

uint64_t InflateLimit(uint64_t compressedBytes) {
  if (compressedBytes > kMaxInflatedBytes / kMaxInflateRatio) return kMaxInflatedBytes;
  return compressedBytes * kMaxInflateRatio;
}

// Like gunzip it accepts several gzip members in a row; anything else after
// a member, or a member cut short, is a failure.
bool InflateGzip(const GzipReader& read, const GzipWriter& write, uint64_t compressedBytes) {
  z_stream stream{};
  if (inflateInit2(&stream, kGzipWindowBits) != Z_OK) return false;
  const uint64_t limit = InflateLimit(compressedBytes);
  uint64_t produced = 0;
  std::vector<unsigned char> in(kChunkSize);
  std::vector<unsigned char> out(kChunkSize);
  bool complete = false;
  bool ok = true;
  for (;;) {
    const ptrdiff_t got = read(in.data(), in.size());
    if (got <= 0) {
      ok = ok && got == 0;
      break;
    }
    stream.next_in = in.data();
    stream.avail_in = static_cast<uInt>(got);
    do {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      const int status = inflate(&stream, Z_NO_FLUSH);
      if (status == Z_BUF_ERROR) break;  // needs more input
      const size_t size = out.size() - stream.avail_out;
      produced += size;
      ok = (status == Z_OK || status == Z_STREAM_END) && produced <= limit && write(out.data(), size);
      complete = status == Z_STREAM_END;
      if (ok && complete) ok = inflateReset(&stream) == Z_OK;
    } while (ok && (stream.avail_in > 0 || stream.avail_out == 0));
    if (!ok) break;
  }
  inflateEnd(&stream);
  return ok && complete;
}

namespace {

bool Inflate(int source, uint64_t sourceBytes, PendingOutput& output) {
  return InflateGzip([source](unsigned char* buffer, size_t capacity) { return ::read(source, buffer, capacity); },
                     [&output](const unsigned char* data, size_t size) { return output.Write(data, size); },
                     sourceBytes);
}

// Turns `source` into `target` through `convert`, then removes the source.
template <typename Convert>
int32_t ConvertFile(const std::string& source, const std::string& target, Convert convert) {
  if (Exists(target)) return kFailure;
  FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info{};
  if (!in.IsOpen() || ::fstat(in.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return kFailure;
  PendingOutput output(target);
  if (!output.IsOpen() || !convert(in.Get(), static_cast<uint64_t>(info.st_size), output) ||
      !output.Commit(info.st_mode & 07777))
    return kFailure;
  ::unlink(source.c_str());
  return kSuccess;
}

}  // namespace

int32_t CompressFile(const char* path) {
  if (!path) return kFailure;
  std::string source(path);
  if (source.ends_with(kGzipSuffix)) return kFailure;  // gzip leaves such files alone
  return ConvertFile(source, source + std::string(kGzipSuffix), Deflate);
}

int32_t DecompressFile(const char* path) {
  if (!path) return kFailure;
  std::string source(path);
  if (source.size() <= kGzipSuffix.size() || !source.ends_with(kGzipSuffix)) return kFailure;
  return ConvertFile(source, source.substr(0, source.size() - kGzipSuffix.size()), Inflate);
}

int32_t BuildCompressionTable(CComponentManager& manager, ComponentRecord* record) {
  manager.DefineComponent(record, VX_COMPRESSION_NAME, 0);
  manager.SetSlotCount(record, VxCompressionSlotCount, 0, 1, 0);
  manager.SetSlot(record, VxCompressionCompressFile, reinterpret_cast<VxSlotFunction>(&CompressFile));
  return manager.SetSlot(record, VxCompressionDecompressFile, reinterpret_cast<VxSlotFunction>(&DecompressFile));
}

}  // namespace vx::host
