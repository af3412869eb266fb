// The plug-in's own rules, without a browser: embed parameters, the names
// formed from URLs, and the table of instances that share the focus.
#include <gtest/gtest.h>

#include <string>

#include "plugin/EmbedParameters.h"
#include "plugin/InstanceTable.h"
#include "plugin/PageWindow.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginLimits.h"
#include "plugin/PluginUrls.h"
#include "plugin/SplashPicture.h"

namespace vx::plugin {
namespace {

EmbedParameters Take(std::initializer_list<std::pair<const char*, const char*>> pairs) {
  EmbedParameters parameters{};
  for (const auto& [name, value] : pairs) TakeEmbedParameter(name, value, parameters);
  return parameters;
}

// An embed's attribute names reach the plug-in in lower case (HTML), a
// param's as the page wrote them.
TEST(EmbedParametersTest, PropertyNamesSplitAtDotsAndEqualSignsAndOtherNamesAreIgnored) {
  const EmbedParameters parameters = Take({{"SetProperty.Light1.intensity", "0.5"},
                                           {"SETPROPERTY.Door.open.extra", "TRUE"},
                                           {"SetProperty.Lamp=on", "1"},
                                           {"setproperty.low.case", "1"},
                                           {"SetProperty.", "x"},
                                           {"src", "world.tsw"},
                                           {"setpropert", "x"},
                                           {nullptr, "x"},
                                           {"SetProperty.Null.value", nullptr}});
  ASSERT_EQ(parameters.properties.size(), 5u);
  EXPECT_EQ(parameters.properties[0].nodeName, "Light1");
  EXPECT_EQ(parameters.properties[0].fieldName, "intensity");
  EXPECT_EQ(parameters.properties[0].value, "0.5");
  EXPECT_EQ(parameters.properties[1].nodeName, "Door");
  EXPECT_EQ(parameters.properties[1].fieldName, "open");
  EXPECT_EQ(parameters.properties[2].nodeName, "Lamp");
  EXPECT_EQ(parameters.properties[2].fieldName, "");
  EXPECT_EQ(parameters.properties[3].nodeName, "low");
  EXPECT_EQ(parameters.properties[3].fieldName, "case");
  EXPECT_EQ(parameters.properties[4].nodeName, "");
  EXPECT_EQ(parameters.borderOn, 0);
}

// A setting cut to fit would set another node, field or value than the page
// asked for: it is held whole up to the engine's limits, and passed over
// beyond them.
TEST(EmbedParametersTest, SettingsAreHeldWholeUpToTheEngineLimitsAndPassedOverBeyondThem) {
  const std::string url = "1,http://pages.example/" + std::string(200 - 21, 'u');
  ASSERT_EQ(url.size() - 2, 200u);
  const std::string name(kMaxPropertyNameLength, 'n');
  const std::string value(kMaxPropertyValueLength, 'v');
  const EmbedParameters parameters = Take({{"SetProperty.Link.url", url.c_str()},
                                           {("SetProperty." + name + "." + name).c_str(), value.c_str()},
                                           {("SetProperty." + name + "n.url").c_str(), "1"},
                                           {("SetProperty.Link." + name + "u").c_str(), "1"},
                                           {"SetProperty.Link.url", (value + "v").c_str()}});
  ASSERT_EQ(parameters.properties.size(), 2u);
  EXPECT_EQ(parameters.properties[0].value, url);
  EXPECT_EQ(parameters.properties[1].nodeName, name);
  EXPECT_EQ(parameters.properties[1].fieldName, name);
  EXPECT_EQ(parameters.properties[1].value, value);
}

TEST(EmbedParametersTest, SettingsPastTheirNumberAreDropped) {
  EmbedParameters parameters{};
  for (int i = 0; i < kMaxPropertySettings + 3; ++i)
    TakeEmbedParameter("SetProperty.Light1.intensity", std::to_string(i).c_str(), parameters);
  ASSERT_EQ(parameters.properties.size(), static_cast<size_t>(kMaxPropertySettings));
  EXPECT_EQ(parameters.properties.back().value, std::to_string(kMaxPropertySettings - 1));
}

TEST(EmbedParametersTest, TheBorderReadsThreeColourValues) {
  EmbedParameters red = Take({{"Border", "1,0,0"}});
  EXPECT_EQ(red.borderOn, 1);
  EXPECT_EQ(red.borderRgb[0], 1.0f);
  EXPECT_EQ(red.borderRgb[1], 0.0f);
  EXPECT_EQ(Take({{"border", "0,1,0"}}).borderRgb[1], 1.0f);
  EmbedParameters partial = Take({{"BORDERCOLOR", "0.5"}});
  EXPECT_EQ(partial.borderOn, 1);
  EXPECT_EQ(partial.borderRgb[0], 0.5f);
  EXPECT_EQ(partial.borderRgb[2], 0.0f);
}

TEST(PluginUrlsTest, SceneFilesAreKnownByTheLastThreeCharactersOfTheirUrl) {
  for (const char* url : {"http://a/b.tsw", "file:///x/y.WRL", "http://a/b.wrl.gz", "c.GZ", "wrl"})
    EXPECT_TRUE(IsSceneFileName(url)) << url;
  for (const char* url : {"http://a/b.txt", "gz", "", "http://a/b.wrlx", "http://a/b.tgz"})
    EXPECT_FALSE(IsSceneFileName(url)) << url;
}

TEST(PluginUrlsTest, TheStreamPathIsTheSavedFileUnlessTheUrlIsLocal) {
  EXPECT_EQ(StreamPath("http://a/b.wrl", "/tmp/saved.wrl"), "/tmp/saved.wrl");
  EXPECT_EQ(StreamPath("file:///home/b.wrl", "/tmp/saved.wrl"), "file:///home/b.wrl");
  EXPECT_EQ(StreamPath("http://a/b.wrl", nullptr), "http://a/b.wrl");
  EXPECT_EQ(StreamPath("file:////server/share/b.wrl", nullptr), "file://///server/share/b.wrl");
  EXPECT_EQ(StreamPath("http://a/b.wrl", std::string(VX_TEXT_BUFFER_SIZE, 'p').c_str()), std::nullopt);
  EXPECT_TRUE(StreamPath("http://a/b.wrl", std::string(VX_TEXT_BUFFER_SIZE - 1, 'p').c_str()));
}

TEST(PluginUrlsTest, LinksToLocalPathsBecomeFileUrls) {
  EXPECT_EQ(LinkUrlFor("C:\\docs\\a.htm"), "file:///C//docs/a.htm");
  EXPECT_EQ(LinkUrlFor("http://a/b.html"), "http://a/b.html");
  EXPECT_EQ(LinkUrlFor("file:///C:/a.htm"), "file:///C:/a.htm");
  EXPECT_EQ(LinkUrlFor("pages/next.html"), "file:///pages/next.html");
  EXPECT_EQ(LinkUrlFor("/home/pages/next.html"), "file:///home/pages/next.html") << "not a shared folder's";
  EXPECT_EQ(LinkUrlFor(std::string(kLinkTextSize - 8, 'x')), std::nullopt) << "a cut link would open another page";
  EXPECT_TRUE(LinkUrlFor(std::string(kLinkTextSize - 9, 'x')));
}

TEST(InstanceTableTest, AnInstanceIsEnteredOnceAndLeavesOnlyIfEntered) {
  InstanceTable table;
  std::vector<PluginInstance> instances(kMaxInstances + 1);
  EXPECT_TRUE(table.Add(&instances[0]));
  EXPECT_FALSE(table.Add(&instances[0])) << "a second stream for the same instance";
  EXPECT_EQ(table.Count(), 1);
  for (int i = 1; i < kMaxInstances; ++i) EXPECT_TRUE(table.Add(&instances[static_cast<size_t>(i)]));
  PluginInstance& seventeenth = instances.back();
  EXPECT_FALSE(table.Add(&seventeenth));
  table.Remove(&seventeenth);
  table.Remove(nullptr);
  EXPECT_EQ(table.Count(), kMaxInstances);

  table.Remove(&instances[3]);
  table.Remove(&instances[3]);
  EXPECT_EQ(table.Count(), kMaxInstances - 1);
  EXPECT_FALSE(table.Contains(&instances[3]));
  EXPECT_TRUE(table.Add(&seventeenth)) << "it takes the entry that was left";
  int visited = 0;
  table.ForEach([&](PluginInstance&) { ++visited; });
  EXPECT_EQ(visited, kMaxInstances);
}

TEST(SplashPictureTest, ThePictureFillsItsSizeAndSitsInTheMiddleOfTheWindow) {
  EXPECT_EQ(SplashPixels().size(), static_cast<size_t>(kSplashWidth * kSplashHeight));
  EXPECT_EQ(SplashOrigin(200, 100), (Point{25, 29}));
  EXPECT_EQ(SplashOrigin(100, 20), (Point{-25, -11})) << "a small window shows the middle of it";
}

}  // namespace
}  // namespace vx::plugin
