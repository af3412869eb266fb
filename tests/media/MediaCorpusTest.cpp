// Replays the media decoders' fuzz corpora through their fuzz entries, so
// every finding stays fixed without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/MediaFuzzEntries.h"

namespace vx {
namespace {

using Entry = bool (*)(const uint8_t* data, size_t size);

int Replay(const std::string& folder, Entry entry) {
  int replayed = 0;
  for (const auto& file : std::filesystem::directory_iterator(std::string(VX_MEDIA_CORPUS_DIR) + "/" + folder)) {
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(file.path().string());
    EXPECT_TRUE(entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ++replayed;
  }
  return replayed;
}

TEST(MediaCorpus, EveryGifInputIsReadOrRefusedWithinBounds) { EXPECT_GE(Replay("gif", fuzz::DecodeGifBytes), 5); }

TEST(MediaCorpus, EveryBmpInputIsReadOrRefusedWithinBounds) { EXPECT_GE(Replay("bmp", fuzz::DecodeBmpBytes), 5); }

TEST(MediaCorpus, EveryDescriptorInputIsParsedOrRefusedWithinBounds) {
  EXPECT_GE(Replay("descriptor", fuzz::ParseDescriptorBytes), 5);
}

}  // namespace
}  // namespace vx
