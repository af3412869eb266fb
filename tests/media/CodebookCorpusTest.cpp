// Replays the ".ric" reader's fuzz corpus through the fuzz entry, so every
// finding stays fixed without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/CodebookFuzzEntry.h"

namespace vx {
namespace {

TEST(CodebookCorpus, EveryInputIsReadWithinBounds) {
  int replayed = 0;
  int drawn = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VX_RIC_CORPUS_DIR)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    drawn += fuzz::DecodeCodebookBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  EXPECT_GE(replayed, 8);
  // The hand-made seeds include valid files, which draw at every pixel size.
  EXPECT_GE(drawn, 4);
}

}  // namespace
}  // namespace vx
