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

// Runs every file of the folder through the entry; the count replayed.
int Replay(const char* folder, bool (*run)(const uint8_t*, size_t)) {
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    EXPECT_TRUE(run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ++replayed;
  }
  return replayed;
}

TEST(CommandCorpus, EveryInputIsAnsweredWithinBounds) { EXPECT_GE(Replay(VX_COMMAND_CORPUS_DIR, fuzz::RunCommandBytes), 10); }

TEST(CommandCorpus, NoInputMakesARoutedWorldsHierarchyACycle) {
  EXPECT_GE(Replay(VX_COMMAND_WORLD_CORPUS_DIR, fuzz::RunCommandWorldBytes), 9);
}

}  // namespace
}  // namespace vx
