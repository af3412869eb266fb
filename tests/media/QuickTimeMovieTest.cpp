// The QuickTime movie and PICT media against a scripted toolbox: frame
// grids of object, panorama and laid-out movies, frame lookup, drawing,
// playback, volume and the failures of loading.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "FakeQuickTime.h"
#include "engine/media/formats/pict/PictMedia.h"
#include "engine/media/formats/quicktime/QuickTimeMovie.h"
#include "engine/render/DibImage.h"

namespace vx {
namespace {

using Log = std::vector<std::string>;
using test::PixelOf;

constexpr uint32_t kVide = FourCharCode("vide");
constexpr uint32_t kSoun = FourCharCode("soun");

// order, frames down, frames across, spare, frame width, frame height.
using GridFields = std::vector<int>;
GridFields FieldsOf(const FrameGrid& grid) {
  return {grid.order, grid.framesDown, grid.framesAcross, grid.spare, grid.frameWidth, grid.frameHeight};
}

std::vector<uint8_t> NavigationItem(uint16_t frameDuration) {
  std::vector<uint8_t> item(48, 0);
  item[10] = static_cast<uint8_t>(frameDuration >> 8);
  item[11] = static_cast<uint8_t>(frameDuration & 0xFF);
  return item;
}

uint32_t PixelAt(const PixelMap& map, int32_t x, int32_t y) {
  uint32_t pixel = 0;
  std::memcpy(&pixel, map.Row(y) + 4 * x, 4);
  return pixel & 0x00FFFFFF;
}

class QuickTimeMovieTest : public ::testing::Test {
 protected:
  int32_t Load(CMediaObject& media) {
    media.SetPixelDepth(32);
    static_cast<void>(media.SetUrl("/movies/object.mov"));
    EXPECT_EQ(media.Process(), MediaFileReady);
    return media.Process();
  }
  GridFields GridOf(CQuickTimeMovie& movie) {
    FrameGrid grid;
    EXPECT_EQ(movie.GetFrameGrid(&grid), 1);
    return FieldsOf(grid);
  }
  // The time of the picture that the frame at the position shows; -1 for none.
  int64_t FrameTime(CQuickTimeMovie& movie, int16_t row, int16_t column) {
    toolbox_.state.pictureTimes.clear();
    const std::unique_ptr<FrameRef> frame = movie.GetFrameRef({row, column, 0});
    if (!frame) return -1;
    return toolbox_.state.pictureTimes.at(0);
  }
  Log TakeLog() { return std::exchange(toolbox_.state.log, {}); }

  test::FakeToolbox toolbox_;
};

TEST_F(QuickTimeMovieTest, AnObjectMovieGoesDownOneColumnTimedByItsNavigationItem) {
  toolbox_.script.tracks = {kVide, kSoun};
  toolbox_.script.duration = 720;
  toolbox_.script.userData[FourCharCode("NAVG")] = NavigationItem(20);
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie), MediaComplete);
  EXPECT_EQ(TakeLog(), (Log{"enable 1 1", "play 0", "go 0", "enable 1 0"}))
      << "visual tracks on, controller stopped at the start, then the played movie keeps its sound only";
  EXPECT_EQ(GridOf(movie), (GridFields{kFrameOrderDownColumns, 36, 1, 1, 32, 16}));
  EXPECT_EQ(movie.GetFrameFlags(), 0);
  EXPECT_EQ(movie.GetFrameStyle(), 0);
  EXPECT_EQ(FrameTime(movie, 5, 0), 100);
  EXPECT_EQ(FrameTime(movie, 36, 0), 720) << "the frame count itself is served";
  EXPECT_EQ(FrameTime(movie, 37, 0), -1);
  EXPECT_EQ(FrameTime(movie, -1, 0), -1);
  EXPECT_EQ(FrameTime(movie, 0, 1), 720) << "a second column continues below the first";

  toolbox_.script.userData.clear();
  CQuickTimeMovie plain(true);
  ASSERT_EQ(Load(plain), MediaComplete);
  EXPECT_EQ(GridOf(plain)[1], 12) << "without the item the first sample's duration (60) counts";
}

TEST_F(QuickTimeMovieTest, APanoramaMovieLiesAlongOneRowTurnedAndCountedFromTheRight) {
  toolbox_.script.tracks = {kVide, FourCharCode("STpn")};
  toolbox_.script.box = {0, 0, 320, 240};
  toolbox_.script.duration = 240;
  toolbox_.script.sampleDuration = 10;
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie), MediaComplete);
  EXPECT_EQ(TakeLog(), (Log{"enable 1 1", "enable 2 0", "play 0", "go 0", "enable 1 0"}));
  EXPECT_EQ(GridOf(movie), (GridFields{kFrameOrderAlongRows, 1, 24, 1, 240, 320}));
  EXPECT_EQ(movie.GetFrameFlags(), kPanoramaMovieRotation);
  EXPECT_EQ(movie.GetFrameStyle(), 1);
  EXPECT_EQ(FrameTime(movie, 0, 0), 230) << "column 0 is frame 23";
  EXPECT_EQ(FrameTime(movie, 0, 23), 0);
  EXPECT_EQ(FrameTime(movie, 0, -1), 240) << "one past the right end is the frame count, still served";
  EXPECT_EQ(FrameTime(movie, 0, -2), -1);
}

TEST_F(QuickTimeMovieTest, ALayoutItemGivesTheGridAndARotationThatTurnsDrawnFrames) {
  toolbox_.script.tracks = {kVide};
  toolbox_.script.box = {0, 0, 4, 2};
  toolbox_.script.userData[FourCharCode("REAL")] = {0x00, 0x03, 0x00, 0x02, 0x3F, 0x80, 0x00, 0x00};
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie), MediaComplete);
  EXPECT_EQ(GridOf(movie), (GridFields{kFrameOrderAlongRows, 2, 3, 1, 2, 4}));
  EXPECT_EQ(movie.GetFrameFlags(), 1);
  EXPECT_EQ(FrameTime(movie, 1, 2), 300) << "row 1, column 2 is frame 5";

  std::unique_ptr<FrameRef> frame = movie.GetFrameRef({1, 2, 0});
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(movie.DrawFrame(frame.get(), nullptr), 2) << "no frame target yet";
  ASSERT_EQ(movie.SetFrameTarget(nullptr), 0);
  std::vector<uint32_t> turned(8, 0xDEADBEEF);
  const PixelMap destination{reinterpret_cast<uint8_t*>(turned.data()), 2, 4, 4, 8};
  ASSERT_EQ(movie.DrawFrame(frame.get(), &destination), 0);
  for (int32_t j = 0; j < 4; ++j)
    for (int32_t k = 0; k < 2; ++k)
      EXPECT_EQ(turned[static_cast<size_t>(j * 2 + k)] & 0xFFFFFF, PixelOf(300, j, 1 - k)) << j << "," << k;
  EXPECT_EQ(movie.ClearFrameTarget(), 0);
  EXPECT_EQ(movie.DrawFrame(frame.get(), &destination), 2);
}

TEST_F(QuickTimeMovieTest, FramesWithoutRotationAreCopiedStraightIntoAGivenImage) {
  toolbox_.script.tracks = {kVide};
  toolbox_.script.box = {0, 0, 4, 2};
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie), MediaComplete);
  std::unique_ptr<CDibImage> target = CDibImage::Create(8, 4, 32, nullptr, false, false);
  ASSERT_NE(target, nullptr);
  ASSERT_EQ(movie.SetFrameTarget(target.get()), 0);
  std::unique_ptr<FrameRef> frame = movie.GetFrameRef({3, 0, 0});
  std::vector<uint32_t> copy(32, 0);
  const PixelMap destination{reinterpret_cast<uint8_t*>(copy.data()), 8, 4, 4, 32};
  ASSERT_EQ(movie.DrawFrame(frame.get(), &destination), 0);
  EXPECT_EQ(copy[0] & 0xFFFFFF, PixelOf(180, 0, 0));
  EXPECT_EQ(copy[3 * 8 + 7] & 0xFFFFFF, PixelOf(180, 3, 1)) << "the frame is stretched over the whole target";
}

TEST_F(QuickTimeMovieTest, ItemsTooShortForTheirFieldsAndUnreadableRotationsAreIgnored) {
  toolbox_.script.tracks = {kVide};
  toolbox_.script.userData[FourCharCode("NAVG")] = std::vector<uint8_t>(11, 0xFF);
  toolbox_.script.userData[FourCharCode("REAL")] = {0x00, 0x03, 0x00, 0x02, 0x3F, 0x80, 0x00};
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie), MediaComplete);
  EXPECT_EQ(GridOf(movie), (GridFields{kFrameOrderDownColumns, 10, 1, 1, 32, 16}));

  for (uint8_t high : {0x7F, 0x4F}) {  // NaN, then 2^31 and beyond
    toolbox_.script.userData[FourCharCode("REAL")] = {0x00, 0x01, 0x00, 0x01, high, 0xC0, 0x00, 0x00};
    CQuickTimeMovie odd(true);
    ASSERT_EQ(Load(odd), MediaComplete);
    EXPECT_EQ(odd.GetFrameFlags(), 0);
  }
}

TEST_F(QuickTimeMovieTest, UpdateGivesTheControllerTimeAndDrawsThePictureOfTheCurrentTime) {
  toolbox_.script.tracks = {kVide};
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie), MediaComplete);
  toolbox_.state.time = 120;
  toolbox_.state.pictureTimes.clear();
  toolbox_.state.idles = 0;
  movie.Process();
  movie.Process();
  EXPECT_EQ(toolbox_.state.idles, 2);
  EXPECT_EQ(toolbox_.state.pictureTimes, (std::vector<uint32_t>{120})) << "an unchanged time is not drawn again";
  MediaImageInfo image;
  ASSERT_EQ(movie.GetImageInfo(&image), 0);
  EXPECT_EQ(PixelAt(image, 5, 3), PixelOf(120, 5, 3));
  EXPECT_EQ(PixelAt(image, 31, 15), PixelOf(120, 31, 15));
}

TEST_F(QuickTimeMovieTest, PlaybackGoesThroughTheControllerAndEndsAtTheDuration) {
  toolbox_.script.tracks = {kVide};
  toolbox_.script.preferredRate = 0x18000;
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie), MediaComplete);
  TakeLog();
  EXPECT_FLOAT_EQ(movie.GetDuration(), 1.0f);
  movie.Play();
  toolbox_.state.time = 300;
  EXPECT_EQ(movie.GetPosition(), 300);
  EXPECT_EQ(movie.IsPlaying(), 1.0f) << "the whole part of the rate 1.5";
  toolbox_.state.time = 600;
  EXPECT_EQ(movie.IsPlaying(), 0.0f) << "at the end, whatever rate the controller reports";
  movie.Rewind();
  movie.Stop();
  EXPECT_EQ(TakeLog(), (Log{"play 98304", "go 0", "play 0"}));
  EXPECT_EQ(movie.IsPlaying(), 0.0f);
}

TEST_F(QuickTimeMovieTest, VolumeGoesOutAsEightPointEightInSixteenBits) {
  toolbox_.script.tracks = {kSoun};
  CQuickTimeMovie movie(false);
  ASSERT_EQ(Load(movie), MediaComplete);
  TakeLog();
  for (float volume : {0.5f, 1.0f, -1.0f, 300.0f, std::numeric_limits<float>::quiet_NaN(), 1e30f}) movie.SetVolume(volume);
  movie.SetBalance(1.0f);
  EXPECT_EQ(TakeLog(), (Log{"volume 128", "volume 256", "volume -256", "volume 11264", "volume 0", "volume -1"}));
}

TEST_F(QuickTimeMovieTest, ASoundOnlyMovieCompletesWithoutImageOrGridAndKeepsItsControllerRunning) {
  toolbox_.script.tracks = {kSoun};
  toolbox_.script.sampleResult = kQuickTimeNoSample;
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie), MediaComplete);
  EXPECT_EQ(movie.HasImage(), 1) << "so that every step reaches Update";
  MediaImageInfo image;
  EXPECT_EQ(movie.GetImageInfo(&image), kMediaNoAnswer);
  EXPECT_EQ(movie.GetFrameGrid(nullptr), 0);
  toolbox_.state.idles = 0;
  for (int step = 0; step < 3; ++step) movie.Process();
  EXPECT_EQ(toolbox_.state.idles, 3);
  EXPECT_TRUE(toolbox_.state.pictureTimes.empty());
}

TEST_F(QuickTimeMovieTest, OtherVisualMediaReadNoSampleAndHaveNoFrames) {
  toolbox_.script.tracks = {kVide, FourCharCode("mpeg")};
  toolbox_.script.sampleResult = kQuickTimeNoSample;
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie), MediaComplete);
  EXPECT_EQ(GridOf(movie)[1], 0);
  MediaImageInfo image;
  EXPECT_EQ(movie.GetImageInfo(&image), 0) << "the picture is still shown";
}

TEST_F(QuickTimeMovieTest, MoviesThatCannotBeOpenedOrSampledAreUnusable) {
  toolbox_.script.tracks = {kVide};
  toolbox_.script.opens = false;
  CQuickTimeMovie unopened(true);
  EXPECT_EQ(Load(unopened), MediaUnusable);

  toolbox_.script.opens = true;
  toolbox_.script.sampleResult = kQuickTimeNoSample;
  CQuickTimeMovie unsampled(true);
  EXPECT_EQ(Load(unsampled), MediaUnusable);
  EXPECT_EQ(unsampled.IsPlaying(), 0.0f);
  unsampled.Play();
  unsampled.Process();
}

TEST_F(QuickTimeMovieTest, WithoutPictureSourceOrPictureSizeTheMovieStillPlaysAndDrawsNothing) {
  toolbox_.script.tracks = {kVide};
  toolbox_.script.picturesOpen = false;
  CQuickTimeMovie blind(true);
  ASSERT_EQ(Load(blind), MediaComplete);
  EXPECT_EQ(blind.GetFrameRef({0, 0, 0}), nullptr);
  blind.Process();

  toolbox_.script.picturesOpen = true;
  toolbox_.script.box = {0, 0, 0, 16};
  CQuickTimeMovie flat(true);
  ASSERT_EQ(Load(flat), MediaComplete);
  MediaImageInfo image;
  EXPECT_EQ(flat.GetImageInfo(&image), kMediaNoAnswer);
  EXPECT_EQ(flat.GetFrameGrid(nullptr), 1) << "the grid is set up all the same";
  flat.Process();
  EXPECT_TRUE(toolbox_.state.pictureTimes.empty());
}

class PictMediaTest : public QuickTimeMovieTest {
 protected:
  void SetPicture(const QtRect& frame, int32_t width, int32_t height) {
    auto picture = std::make_unique<QtPicture>();
    picture->width = width;
    picture->height = height;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) picture->pixels.push_back(PixelOf(7, x, y));
    picture->frame = frame;
    toolbox_.picture = std::move(picture);
  }
};

TEST_F(PictMediaTest, APictureIsReadThenDrawnWholeInOneStep) {
  SetPicture({0, 0, 200, 100}, 200, 100);
  CPictMedia pict;
  ASSERT_EQ(Load(pict), MediaDecoding);
  EXPECT_EQ(pict.Process(), MediaComplete);
  MediaImageInfo image;
  ASSERT_EQ(pict.GetImageInfo(&image), 0);
  EXPECT_EQ(image.width, 200);
  EXPECT_EQ(image.height, 100);
  EXPECT_EQ(PixelAt(image, 150, 60), PixelOf(7, 150, 60));
}

TEST_F(PictMediaTest, FramesOutsideTheAllowedRangesAndUnreadableFilesAreUnusable) {
  for (const QtRect& frame : {QtRect{-1, 0, 10, 10}, QtRect{5, 0, 4, 10}, QtRect{0, 0, 0, 10}, QtRect{0, -1, 10, 10},
                              QtRect{0, 5, 10, 4}, QtRect{0, 0, 10, 0}, QtRect{0, 0, 100000, 10}}) {
    SetPicture(frame, 2, 2);
    CPictMedia pict;
    ASSERT_EQ(Load(pict), MediaDecoding);
    EXPECT_EQ(pict.Process(), MediaUnusable) << frame.left << "," << frame.top << "," << frame.right << ","
                                             << frame.bottom;
  }
  SetPicture({0, 0, 4, 4}, 3, 3);
  toolbox_.picture->pixels.pop_back();
  CPictMedia torn;
  ASSERT_EQ(Load(torn), MediaDecoding);
  EXPECT_EQ(torn.Process(), MediaUnusable) << "fewer pixels than the picture's size";

  toolbox_.picture.reset();
  CPictMedia unread;
  EXPECT_EQ(Load(unread), MediaUnusable);
}

}  // namespace
}  // namespace vx
