// Replays the corpora of the host's fuzz targets, so every finding stays
// fixed without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/HostFuzzEntries.h"

namespace vx {
namespace {

using Entry = bool (*)(const uint8_t*, size_t);

void Replay(const std::string& target, Entry entry) {
  int replayed = 0;
  for (const auto& file : std::filesystem::directory_iterator(std::string(VX_FUZZ_CORPUS_DIR) + "/" + target)) {
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) << file.path().string();
    ++replayed;
  }
  EXPECT_GT(replayed, 0) << target;
}

TEST(HostCorpus, HttpResponses) { Replay("http_response", &fuzz::FeedHttpResponse); }
TEST(HostCorpus, ConfigFiles) { Replay("config", &fuzz::ReadConfigBytes); }
TEST(HostCorpus, Registries) { Replay("registry", &fuzz::ReadRegistryBytes); }
TEST(HostCorpus, LibraryFileNames) { Replay("library_names", &fuzz::ReadLibraryFileNames); }
TEST(HostCorpus, GzipData) { Replay("gunzip", &fuzz::GunzipBytes); }

}  // namespace
}  // namespace vx
