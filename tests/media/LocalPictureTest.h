// A fixture for pictures loaded from local files: each content goes to a
// file of its own, loads at a pixel depth with blue as the fill colour, and
// the image it made can be read back.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/media/MediaObject.h"
#include "engine/media/SharedInverseMap.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {

class LocalPictureTest : public ::testing::Test {
 protected:
  LocalPictureTest() { ResetSharedInverseMap(); }

  // The state after loading.
  int32_t Load(CMediaObject& media, const std::string& content, int32_t depth = 32) {
    const std::string path = folder_.Write("pic" + std::to_string(++files_), content);
    media.SetPixelDepth(depth);
    media.SetFillColor(FloatColor{0.0f, 0.0f, 1.0f});
    static_cast<void>(media.SetUrl(path.c_str()));
    int32_t state = MediaIdle;
    for (int i = 0; i < 4 && !IsFinal(state); ++i) state = media.Process();
    return state;
  }
  static PixelMap Image(const CMediaObject& media) {
    MediaImageInfo info;
    EXPECT_EQ(media.GetImageInfo(&info), 0);
    return info;
  }

  TemporaryFolder folder_{"vxpicture"};
  int files_ = 0;
};

}  // namespace vx::test
