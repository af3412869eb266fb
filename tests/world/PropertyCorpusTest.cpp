// Replays the property text's fuzz corpora through their fuzz entries, so
// every finding stays fixed without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/PropertyFuzzEntries.h"

namespace vx {
namespace {

// Runs every file of the folder through the entry; the number of files.
template <typename Entry>
int Replay(const char* folder, Entry entry) {
  int replayed = 0;
  for (const auto& file : std::filesystem::directory_iterator(folder)) {
    std::ifstream stream(file.path(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(file.path().string());
    EXPECT_TRUE(entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ++replayed;
  }
  return replayed;
}

TEST(PropertyCorpus, EveryTextReadIsWrittenAsTextThatReadsBack) {
  EXPECT_GE(Replay(VX_PROPERTY_TEXT_CORPUS_DIR, &fuzz::ReadPropertyText), 10);
}

TEST(PropertyCorpus, EveryValueWrittenReadsBack) {
  EXPECT_GE(Replay(VX_PROPERTY_VALUE_CORPUS_DIR, &fuzz::RoundTripPropertyValue), 10);
}

}  // namespace
}  // namespace vx
