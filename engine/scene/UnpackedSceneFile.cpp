#include "engine/scene/UnpackedSceneFile.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <vantessel/Component.h>

#include "engine/hostlink/HostTable.h"
#include "platform/Numbers.h"
#include "platform/Path.h"

namespace vx {
namespace {

bool DecompressThroughHost(const std::string& path) {
  auto decompress =
      reinterpret_cast<VxDecompressFileFn>(GetComponentSlot(VX_COMPRESSION_NAME, VxCompressionDecompressFile));
  return decompress && decompress(path.c_str()) == 0;
}

// A gzip stream, whatever the file is called, starts with these two bytes.
bool StartsAsGzip(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  unsigned char magic[2] = {};
  const bool gzip = std::fread(magic, 1, sizeof magic, file) == sizeof magic && magic[0] == 0x1f && magic[1] == 0x8b;
  std::fclose(file);
  return gzip;
}

std::string TemporaryRoot() {
  const char* root = std::getenv("TMPDIR");
  return root && root[0] ? root : "/tmp";
}

bool CopyFile(const std::string& from, const std::string& to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  if (!in) return false;
  std::FILE* out = std::fopen(to.c_str(), "wb");
  bool ok = out != nullptr;
  char buffer[64 * 1024];
  while (ok) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, in);
    if (got == 0) break;
    ok = std::fwrite(buffer, 1, got, out) == got;
  }
  ok = ok && !std::ferror(in);
  std::fclose(in);
  if (out) ok = std::fclose(out) == 0 && ok;
  return ok;
}

}  // namespace

CUnpackedSceneFile::CUnpackedSceneFile(const std::string& path) {
  gzip_ = path.ends_with(kGzipSuffix) || StartsAsGzip(path);
  if (gzip_) {
    Decompress(path);
  } else {
    path_ = path;
  }
}

CUnpackedSceneFile::~CUnpackedSceneFile() {
  if (folder_.empty()) return;
  const std::string name = folder_ + "/";
  if (DIR* dir = opendir(folder_.c_str())) {
    while (dirent* entry = readdir(dir))
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        unlink((name + entry->d_name).c_str());
    closedir(dir);
  }
  rmdir(folder_.c_str());
}

void CUnpackedSceneFile::Decompress(const std::string& gzipPath) {
  std::string folder = FormatString("%s/vxgz-XXXXXX", TemporaryRoot().c_str());
  if (!mkdtemp(folder.data())) return;
  folder_ = folder;
  // The host decompresses only a name that ends ".gz".
  std::string copy = folder_ + "/" + path::FileNameOf(gzipPath);
  if (!copy.ends_with(kGzipSuffix)) copy += kGzipSuffix;
  if (CopyFile(gzipPath, copy) && DecompressThroughHost(copy)) path_ = copy.substr(0, copy.size() - kGzipSuffix.size());
}

}  // namespace vx
