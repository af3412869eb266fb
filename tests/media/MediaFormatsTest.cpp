#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/media/MediaFactories.h"
#include "engine/media/MediaFormats.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

TEST(MediaDetection, TheLastFourCharactersNameTheTypeInTableOrder) {
  const std::vector<std::pair<const char*, MediaType>> cases = {
      {"a.jpg", MediaType::Jpeg},      {"A.JPG", MediaType::Jpeg},
      {"b.Jpeg", MediaType::Jpeg},     {"photo.jfif", MediaType::Jpeg},
      {"x.jpe", MediaType::None},      {"c.ric", MediaType::Codebook},
      {"d.mpg", MediaType::Mpeg},      {"clip.mpeg", MediaType::Mpeg},
      {"e.gif", MediaType::Gif},       {"f.bmp", MediaType::Bmp},
      {"g.pic", MediaType::Pict},      {"h.pict", MediaType::Pict},
      {"i.mov", MediaType::QuickTime}, {"j.snm", MediaType::QuickTime},
      {"k.avi", MediaType::Avi},       {"l.aif", MediaType::Aiff},
      {"song.aiff", MediaType::Aiff},  {"m.wav", MediaType::Wave},
      {"n.lvd", MediaType::Lvd},       {"tiles.txt", MediaType::Descriptor},
      {"o.fpx", MediaType::Fpx},       {"p.tts", MediaType::Tts},
      {"q.wrl", MediaType::None},      {"http://h/r.gif?x=1", MediaType::None},
      {"jpeg", MediaType::Jpeg},       {"jpg", MediaType::None},
      {"", MediaType::None},           {"s.jp\xC7", MediaType::None},
      {"t.pct", MediaType::Pict},      {"u.PNG", MediaType::Png},
  };
  for (const auto& [name, type] : cases) EXPECT_EQ(DetectMediaType(name), type) << name;
  EXPECT_EQ(DetectMediaType(nullptr), MediaType::None);
}

TEST(MediaDetection, OnlyTheFormatsThatAreDecodedOpenAMediaObject) {
  for (const char* name : {"a.fpx", "a.tts", "a.lvd", "a.jpg", "a.ric", "a.gif", "a.bmp", "a.txt", "a.avi", "a.wav",
                           "a.mov", "a.snm", "a.pic", "a.pict", "a.pct", "a.png", "a.mpg", "a.mpeg"}) {
    std::unique_ptr<CMediaObject> media = OpenMedia(name, true);
    ASSERT_NE(media, nullptr) << name;
    EXPECT_EQ(media->GetTypeCode(), DetectMediaType(name));
    char url[kMediaNameBufferSize] = {};
    media->GetUrl(url);
    EXPECT_STREQ(url, "") << "OpenMedia leaves the name unset";
  }
  for (const char* name : {"a.aiff", "a.wrl"}) EXPECT_EQ(OpenMedia(name, true), nullptr) << name;
}

// The kind each maker gives for a name, or -1 for none.
struct MakerRow {
  const char* name;
  int image, movie, sound, frameSet;
};

template <typename Handle>
int KindOf(const std::unique_ptr<Handle>& handle) {
  return handle ? static_cast<int>(handle->GetKind()) : -1;
}

TEST(MediaFactories, EachMakerTakesItsTypesAndOnlyFormatsThatAreDecoded) {
  const std::vector<MakerRow> matrix = {
      {"a.lvd", -1, 2, 3, -1},  {"a.tts", -1, -1, 3, -1},   {"a.fpx", -1, -1, -1, -1}, {"a.mpg", -1, 2, 3, 4},
      {"a.png", 1, -1, -1, -1}, {"a.aiff", -1, -1, -1, -1}, {"a.xyz", -1, -1, -1, -1}, {"a.jpg", 1, -1, -1, -1},
      {"a.gif", 1, 2, -1, 4},   {"a.bmp", 1, -1, -1, -1},   {"a.txt", -1, -1, -1, 4},  {"a.ric", -1, -1, -1, 4},
      {"a.mov", -1, 2, 3, 4},   {"a.snm", -1, 2, 3, 4},     {"a.pic", 1, -1, -1, -1},
  };
  for (const MakerRow& row : matrix) {
    EXPECT_EQ(KindOf(CreateImageHandle(row.name)), row.image) << row.name;
    EXPECT_EQ(KindOf(CreateMovieHandle(row.name)), row.movie) << row.name;
    EXPECT_EQ(KindOf(CreateSoundHandle(row.name)), row.sound) << row.name;
    EXPECT_EQ(KindOf(CreateFrameSetTexture(row.name)), row.frameSet) << row.name;
  }
}

// A local file's first bytes name its type before its name does; a remote
// name, or a file whose bytes show no type, goes by its name.
TEST(MediaDetection, ALocalFilesSignatureComesBeforeItsName) {
  test::TemporaryFolder folder("vxdetect");
  const std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
  const struct {
    const char* name;
    std::string content;
    MediaType type;
  } cases[] = {
      {"photo.jpg", png, MediaType::Png},
      {"clip.dat", std::string("\0\0\x01\xBA\x44\0\x04\0", 8), MediaType::Mpeg},
      {"clip.avi", std::string("\0\0\x01\xB3\x03\x00\x20\x13", 8), MediaType::Mpeg},
      {"plain.png", "not a picture at all", MediaType::Png},
      {"short.gif", "\x89PNG", MediaType::Gif},
  };
  for (const auto& c : cases) {
    const std::string path = folder.Write(c.name, c.content);
    EXPECT_EQ(DetectMediaTypeOf(path.c_str()), c.type) << c.name;
  }
  EXPECT_EQ(DetectMediaTypeOf("http://host/photo.jpg"), MediaType::Jpeg);
  EXPECT_EQ(KindOf(CreateImageHandle(folder.Write("texture.jpg", png).c_str())), 1);
  EXPECT_EQ(CreateImageHandle(folder.Write("movie.jpg", cases[1].content).c_str()), nullptr);
}

TEST(MediaFactories, TheMakerSetsTheNameOnTheNewObject) {
  std::unique_ptr<CSoundHandle> local = CreateSoundHandle("/sounds/voice.tts");
  ASSERT_NE(local, nullptr);
  EXPECT_TRUE(local->Media()->IsReady());
  char url[kMediaNameBufferSize] = {};
  local->GetUrl(url);
  EXPECT_STREQ(url, "/sounds/voice.tts");

  std::unique_ptr<CSoundHandle> remote = CreateSoundHandle("http://host/voice.tts");
  ASSERT_NE(remote, nullptr);
  EXPECT_FALSE(remote->Media()->IsReady()) << "downloaded on its first step";
}

TEST(PlaceholderMedia, SpeechCompletesAtOnceAndPlaysSilentlyAsIfPlaying) {
  std::unique_ptr<CSoundHandle> speech = CreateSoundHandle("/s/hello.tts");
  ASSERT_NE(speech, nullptr);
  EXPECT_EQ(speech->Process(), MediaFileReady);
  EXPECT_EQ(speech->Process(), MediaComplete);
  speech->Play();
  speech->SetVolume(0.5f);
  EXPECT_EQ(speech->IsPlaying(), 1.0f);
  EXPECT_EQ(speech->GetDuration(), 1.0f);
  EXPECT_EQ(speech->GetPosition(), 0);
  EXPECT_EQ(speech->HasImage(), 0);
}

TEST(PlaceholderMedia, AnLvdNameIsNeverDownloadedAndCompletesWithoutAnImage) {
  std::unique_ptr<CMovieHandle> movie = CreateMovieHandle("http://host/film.lvd");
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(movie->Process(), MediaFileReady);
  EXPECT_EQ(movie->Process(), MediaComplete);
  EXPECT_EQ(movie->Media()->RequestId(), -1);
  EXPECT_EQ(movie->GetPlayFlag(), 0);
  MediaImageInfo info;
  EXPECT_EQ(movie->GetImageInfo(&info), kMediaNoAnswer);
}

TEST(PlaceholderMedia, AnFpxFileCompletesInOneDecodeStep) {
  std::unique_ptr<CMediaObject> media = OpenMedia("/p/photo.fpx", true);
  static_cast<void>(media->SetUrl("/p/photo.fpx"));
  EXPECT_EQ(media->Process(), MediaFileReady);
  EXPECT_EQ(media->Process(), MediaDecoding);
  EXPECT_EQ(media->Process(), MediaComplete);
  EXPECT_EQ(media->HasImage(), 0);
}

TEST(MediaHandles, WithoutAMediaObjectEveryOperationAnswersItsDefault) {
  CSoundHandle sound(nullptr);
  EXPECT_EQ(sound.GetKind(), HandleKind::Sound);
  EXPECT_EQ(sound.Process(), 0);
  EXPECT_EQ(sound.HasImage(), 0);
  EXPECT_EQ(sound.GetTypeCode(), MediaType::None);
  EXPECT_EQ(sound.GetPixelDepth(), 0);
  EXPECT_EQ(sound.SetUrl("a.wav"), 0u);
  char url[kMediaNameBufferSize] = "kept";
  EXPECT_EQ(sound.GetUrl(url), 0u);
  EXPECT_STREQ(url, "kept");
  PaletteTable palette;
  palette.count = 3;
  sound.SetPalette(&palette);
  sound.GetPalette(&palette);
  EXPECT_EQ(palette.count, 3);

  MediaImageInfo info;
  uint8_t byte = 0;
  info.bits = &byte;
  info.width = 12;
  EXPECT_EQ(sound.GetImageInfo(&info), kMediaNoAnswer);
  EXPECT_EQ(info.bits, &byte) << "the caller's record stays as it was";
  EXPECT_EQ(info.width, 12);

  sound.Play();
  sound.Rewind();
  sound.Stop();
  sound.SetVolume(1.0f);
  sound.SetBalance(-1.0f);
  sound.SetFillColor({1, 1, 1});
  sound.SetMaskColor({1, 1, 1});
  sound.SetFrameCallback({});
  sound.SetNotify({});
  sound.SetPixelDepth(16);
  EXPECT_EQ(sound.GetPosition(), 0);
  EXPECT_EQ(sound.GetDuration(), 0.0f);
  EXPECT_EQ(sound.IsPlaying(), 0.0f);
  EXPECT_EQ(sound.GetPlayFlag(), 0);

  char text[kMediaNameBufferSize] = "stale";
  sound.GetProgressText(text);
  EXPECT_STREQ(text, "") << "no download service is held";

  EXPECT_EQ(CImageHandle(nullptr).GetKind(), HandleKind::Image);
  EXPECT_EQ(CMovieHandle(nullptr).GetKind(), HandleKind::Movie);
}

}  // namespace
}  // namespace vx
