// Replays the command link's fuzz corpus through the fuzz entry, so every
// finding stays fixed without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/CommandFuzzEntry.h"

namespace vx {
namespace {

TEST(CommandCorpus, EveryInputIsAnsweredWithinBounds) {
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VX_COMMAND_CORPUS_DIR)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    EXPECT_TRUE(fuzz::RunCommandBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ++replayed;
  }
  EXPECT_GE(replayed, 10);
}

}  // namespace
}  // namespace vx
