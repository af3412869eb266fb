#include "host/Compression.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>

#include "host/HostLimits.h"
#include "tests/host/HostTestEnvironment.h"

namespace vx::host {
namespace {

using test::HostTestRoot;

std::string Gzip(const std::string& text) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, text.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// A text long enough to span several read chunks.
std::string LargeText() {
  std::string text;
  for (int i = 0; text.size() < 300000; ++i) text += "line " + std::to_string(i * 7919 % 10007) + "\n";
  return text;
}

class CompressionTest : public ::testing::Test {
 protected:
  std::string Folder() const { return HostTestRoot::Components(); }
  size_t FileCount() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(Folder()), {}));
  }
  HostTestRoot root_;
};

TEST_F(CompressionTest, RoundTripReplacesEachFileInPlace) {
  std::string path = Folder() + "a.so";
  std::string text = LargeText();
  HostTestRoot::WriteFile(path, text);
  ::chmod(path.c_str(), 0750);

  ASSERT_EQ(CompressFile(path.c_str()), 0);
  EXPECT_FALSE(HostTestRoot::Exists(path));
  ASSERT_TRUE(HostTestRoot::Exists(path + ".gz"));
  EXPECT_LT(HostTestRoot::ReadFile(path + ".gz").size(), text.size());

  ASSERT_EQ(DecompressFile((path + ".gz").c_str()), 0);
  EXPECT_FALSE(HostTestRoot::Exists(path + ".gz"));
  EXPECT_EQ(HostTestRoot::ReadFile(path), text);
  struct stat info{};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0750u);
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(CompressionTest, ConcatenatedMembersDecompressAsOne) {
  std::string path = Folder() + "two.wrl.gz";
  HostTestRoot::WriteFile(path, Gzip("#VRML V2.0 utf8\n") + Gzip("Group {}\n"));
  ASSERT_EQ(DecompressFile(path.c_str()), 0);
  EXPECT_EQ(HostTestRoot::ReadFile(Folder() + "two.wrl"), "#VRML V2.0 utf8\nGroup {}\n");
}

TEST_F(CompressionTest, BadInputFailsAndLeavesNoOutput) {
  std::string whole = Gzip(LargeText());
  struct Case {
    const char* name;
    std::string content;
  } cases[] = {
      {"truncated.so.gz", whole.substr(0, whole.size() / 2)},
      {"trailer-cut.so.gz", whole.substr(0, whole.size() - 4)},
      {"plain.so.gz", "this was never compressed"},
      {"empty.so.gz", ""},
      {"garbage-after.so.gz", whole + "junk"},
  };
  for (const Case& c : cases) {
    std::string path = Folder() + c.name;
    HostTestRoot::WriteFile(path, c.content);
    EXPECT_EQ(DecompressFile(path.c_str()), 1) << c.name;
    EXPECT_EQ(HostTestRoot::ReadFile(path), c.content) << c.name;
    EXPECT_FALSE(HostTestRoot::Exists(path.substr(0, path.size() - 3))) << c.name;
  }
  EXPECT_EQ(FileCount(), std::size(cases));  // no temporary file left behind
}

TEST_F(CompressionTest, OutputIsBoundedByRatioAndAbsolutely) {
  EXPECT_EQ(InflateLimit(1000), 1000 * kMaxInflateRatio);
  EXPECT_EQ(InflateLimit(kMaxInflatedBytes), kMaxInflatedBytes);
  EXPECT_EQ(InflateLimit(UINT64_MAX), kMaxInflatedBytes) << "no overflow";

  // Zeros deflate about a thousandfold: far past the ratio.
  const std::string bomb = Gzip(std::string(4 * 1024 * 1024, '\0'));
  ASSERT_GT(4u * 1024 * 1024, bomb.size() * kMaxInflateRatio);
  const std::string path = Folder() + "bomb.wrl.gz";
  HostTestRoot::WriteFile(path, bomb);
  EXPECT_EQ(DecompressFile(path.c_str()), 1);
  EXPECT_FALSE(HostTestRoot::Exists(Folder() + "bomb.wrl"));
  EXPECT_EQ(FileCount(), 1u) << "nothing half-written is left";

  // Output just within the ratio is taken whole.
  const std::string text = LargeText();
  const std::string packed = Gzip(text);
  ASSERT_LE(text.size(), packed.size() * kMaxInflateRatio);
  HostTestRoot::WriteFile(Folder() + "within.wrl.gz", packed);
  EXPECT_EQ(DecompressFile((Folder() + "within.wrl.gz").c_str()), 0);
  EXPECT_EQ(HostTestRoot::ReadFile(Folder() + "within.wrl"), text);
}

TEST_F(CompressionTest, RefusesNamesAndTargetsGzipWouldRefuse) {
  std::string plain = Folder() + "a.wrl";
  HostTestRoot::WriteFile(plain, "text");
  EXPECT_EQ(DecompressFile(plain.c_str()), 1);  // no ".gz" suffix
  EXPECT_EQ(DecompressFile((Folder() + ".gz").c_str()), 1);
  EXPECT_EQ(DecompressFile((Folder() + "missing.gz").c_str()), 1);
  EXPECT_EQ(CompressFile((Folder() + "missing").c_str()), 1);
  EXPECT_EQ(DecompressFile(nullptr), 1);

  // An existing result is never overwritten, in either direction.
  HostTestRoot::WriteFile(plain + ".gz", Gzip("other"));
  EXPECT_EQ(DecompressFile((plain + ".gz").c_str()), 1);
  EXPECT_EQ(CompressFile(plain.c_str()), 1);
  EXPECT_EQ(HostTestRoot::ReadFile(plain), "text");
  EXPECT_EQ(CompressFile((plain + ".gz").c_str()), 1);
}

}  // namespace
}  // namespace vx::host
