// Replays the reader's fuzz corpus and the scene test files through the fuzz
// entry, so every finding stays fixed without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/ReaderFuzzEntry.h"

namespace vx {
namespace {

TEST(ReaderCorpus, EveryInputReadsWithoutFault) {
  int replayed = 0;
  for (const char* folder : {VX_READER_CORPUS_DIR, VX_TEST_DATA_DIR "/scene"}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      std::ifstream file(entry.path(), std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(entry.path().string());
      fuzz::ReadSceneBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 20);
}

}  // namespace
}  // namespace vx
