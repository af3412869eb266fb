// A scene file as the reader takes it, whether it holds text or gzip data.
//
// Gzip data is known by a name that ends ".gz" or by its first two bytes,
// whatever the name. The host's "Compression" component, which bounds what
// it inflates, decompresses it; since that replaces the file it is given,
// it works on a copy in a private scratch folder that goes away with this
// object, so the user's file (or a cache entry) stays as it was. Worlds and
// inlined files both come this way.
#pragma once

#include <string>
#include <string_view>

namespace vx {

inline constexpr std::string_view kGzipSuffix = ".gz";

class CUnpackedSceneFile {
 public:
  explicit CUnpackedSceneFile(const std::string& path);
  ~CUnpackedSceneFile();
  CUnpackedSceneFile(const CUnpackedSceneFile&) = delete;
  CUnpackedSceneFile& operator=(const CUnpackedSceneFile&) = delete;

  // Whether the file is gzip data (by its name or its first bytes).
  bool IsGzip() const { return gzip_; }
  // The text to read: the file itself, or its decompressed copy; empty when
  // gzip data could not be decompressed.
  const std::string& Path() const { return path_; }

 private:
  void Decompress(const std::string& gzipPath);

  bool gzip_ = false;
  std::string folder_;
  std::string path_;
};

}  // namespace vx
