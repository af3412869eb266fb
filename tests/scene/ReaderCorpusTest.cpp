// Replays the reader's fuzz corpora and the scene test files through the fuzz
// entries, so every finding stays fixed without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/ReaderFuzzEntry.h"

namespace vx {
namespace {

using FuzzEntry = void (*)(const uint8_t* data, size_t size);

// Hands every file of the folders to the entry; the number of files.
int Replay(std::initializer_list<const char*> folders, FuzzEntry entry) {
  int replayed = 0;
  for (const char* folder : folders) {
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
      std::ifstream in(file.path(), std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(file.path().string());
      entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  return replayed;
}

TEST(ReaderCorpus, EveryInputReadsWithoutFault) {
  EXPECT_GT(Replay({VX_READER_CORPUS_DIR, VX_TEST_DATA_DIR "/scene"}, fuzz::ReadSceneBytes), 20);
}

TEST(ReaderCorpus, EverySceneThatReadsSavesTheSameTextTwice) {
  int replayed = 0;
  for (const char* folder : {VX_ROUND_TRIP_CORPUS_DIR, VX_READER_CORPUS_DIR, VX_TEST_DATA_DIR "/scene"}) {
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
      std::ifstream in(file.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_EQ(fuzz::RoundTripSceneBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "")
          << file.path();
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 20);
}

TEST(ReaderCorpus, EveryWorldThatReadsIsDrawnWithoutFault) {
  EXPECT_GT(Replay({VX_WORLD_FRAMES_CORPUS_DIR, VX_READER_CORPUS_DIR, VX_TEST_DATA_DIR "/scene"}, fuzz::DrawSceneBytes),
            20);
}

TEST(ReaderCorpus, EverySharedWorldIsDrawnAndSavedWithoutFault) {
  EXPECT_GE(Replay({VX_SHARED_WORLDS_CORPUS_DIR}, fuzz::DrawSharedWorldBytes), 6);
}

TEST(ReaderCorpus, EveryProtoLibraryReadsWithoutFault) {
  EXPECT_GT(Replay({VX_PROTO_LIBRARY_CORPUS_DIR, VX_TEST_DATA_DIR "/scene"}, fuzz::ReadProtoLibraryBytes), 20);
}

}  // namespace
}  // namespace vx
