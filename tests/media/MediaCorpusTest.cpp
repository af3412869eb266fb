// Replays the media decoders' fuzz corpora through their fuzz entries, so
// every finding stays fixed without running a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/CodebookFuzzEntry.h"
#include "fuzz/MediaFuzzEntries.h"
#include "fuzz/MovieFuzzEntries.h"

namespace vx {
namespace {

// Hands every file of the corpus folder to `entry`; returns how many there
// were.
template <typename Entry>
int Replay(const std::string& folder, Entry entry) {
  int replayed = 0;
  for (const auto& file : std::filesystem::directory_iterator(std::string(VX_MEDIA_CORPUS_DIR) + "/" + folder)) {
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(file.path().string());
    entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  return replayed;
}

// Replays a corpus whose entry answers whether what must hold of the result
// held.
int ReplayChecked(const std::string& folder, bool (*entry)(const uint8_t*, size_t)) {
  return Replay(folder, [entry](const uint8_t* data, size_t size) { EXPECT_TRUE(entry(data, size)); });
}

TEST(MediaCorpus, EveryGifInputIsReadOrRefusedWithinBounds) {
  EXPECT_GE(ReplayChecked("gif", fuzz::DecodeGifBytes), 5);
}

TEST(MediaCorpus, EveryJpegInputEndsTheSameWayWholeOrInPieces) {
  EXPECT_GE(ReplayChecked("jpeg", fuzz::DecodeJpegBytes), 5);
}

TEST(MediaCorpus, EveryBmpInputIsReadOrRefusedWithinBounds) {
  EXPECT_GE(ReplayChecked("bmp", fuzz::DecodeBmpBytes), 5);
}

TEST(MediaCorpus, EveryPngInputFailsOrDecodesAlikeAtEveryPixelSize) {
  EXPECT_GE(ReplayChecked("png", fuzz::DecodePngBytes), 5);
}

TEST(MediaCorpus, EveryDescriptorInputIsParsedOrRefusedWithinBounds) {
  EXPECT_GE(ReplayChecked("descriptor", fuzz::ParseDescriptorBytes), 5);
}

TEST(MediaCorpus, EveryMovieHeaderIsReadOrRefusedWithinBounds) {
  EXPECT_GE(ReplayChecked("movie_atoms", fuzz::ParseMovieAtomBytes), 8);
}

TEST(MediaCorpus, EveryRicInputIsReadWithinBounds) {
  int drawn = 0;
  const int replayed =
      Replay("ric", [&drawn](const uint8_t* data, size_t size) { drawn += fuzz::DecodeCodebookBytes(data, size); });
  EXPECT_GE(replayed, 8);
  // The hand-made seeds include valid files, which draw at every pixel size.
  EXPECT_GE(drawn, 4);
}

TEST(MediaCorpus, EveryMovieInputIsDecodedOrRefusedWithinBounds) {
  EXPECT_GE(ReplayChecked("movie", fuzz::DecodeMovieBytes), 8);
}

TEST(MediaCorpus, EverySoundInputPlaysOrIsRefusedWithinBounds) {
  EXPECT_GE(ReplayChecked("sound", fuzz::PlaySoundBytes), 5);
}

TEST(MediaCorpus, EveryPictInputIsDrawnOrRefusedWithinBounds) {
  EXPECT_GE(ReplayChecked("pict", fuzz::DrawPictBytes), 8);
}

}  // namespace
}  // namespace vx
