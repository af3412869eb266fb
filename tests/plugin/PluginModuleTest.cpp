// The module as a browser sees it before any scene: its exports, the codes
// of its entry points and handlers, and the splash in a window with no scene.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/plugin/BrowserTestHost.h"

namespace vx::test {
namespace {

TEST(PluginModuleTest, ExportsTheEntryPointsAndTheSceneType) {
  BrowserTestHost browser;
  ASSERT_EQ(browser.InitializeResult(), NPErrorNone);
  EXPECT_STREQ(browser.Export<NP_GetMIMEDescriptionFn>(VX_NP_GET_MIME_DESCRIPTION)(),
               "x-vantessel/x-tsw:tsw:Vantessel Files (*.tsw)");
  EXPECT_EQ(browser.Export<NP_GetEntryPointsFn>(VX_NP_GET_ENTRY_POINTS)(nullptr), NPErrorInvalidFunctionTable);
  EXPECT_EQ(browser.Export<NP_InitializeFn>(VX_NP_INITIALIZE)(nullptr), NPErrorInvalidFunctionTable);

  const NPPluginFuncs& plugin = browser.Plugin();
  EXPECT_EQ(plugin.version, VX_NP_PLUGIN_TABLE_VERSION);
  for (const void* handler : {reinterpret_cast<const void*>(plugin.newp), reinterpret_cast<const void*>(plugin.destroy),
                              reinterpret_cast<const void*>(plugin.setwindow),
                              reinterpret_cast<const void*>(plugin.newstream),
                              reinterpret_cast<const void*>(plugin.destroystream),
                              reinterpret_cast<const void*>(plugin.asfile),
                              reinterpret_cast<const void*>(plugin.writeready),
                              reinterpret_cast<const void*>(plugin.write), reinterpret_cast<const void*>(plugin.print),
                              reinterpret_cast<const void*>(plugin.urlnotify)})
    EXPECT_NE(handler, nullptr);
  EXPECT_EQ(plugin.event, nullptr);
  EXPECT_EQ(plugin.javaClass, nullptr);
}

TEST(PluginModuleTest, BrowsersOfAnotherMajorVersionAreRefusedAndOldOnesGetNoUrlNotify) {
  BrowserTestHost refused(0x0109);
  EXPECT_EQ(refused.InitializeResult(), NPErrorIncompatibleVersion);

  BrowserTestHost old(8);
  EXPECT_EQ(old.InitializeResult(), NPErrorNone);
  EXPECT_EQ(old.Plugin().urlnotify, nullptr);
}

TEST(PluginModuleTest, HandlersAnswerAnInstanceMissingAndStreamsComeAsFiles) {
  BrowserTestHost browser;
  NPPluginFuncs& plugin = browser.Plugin();
  char type[] = "x-vantessel/x-tsw";
  EXPECT_EQ(plugin.newp(type, nullptr, NPModeEmbedded, 0, nullptr, nullptr, nullptr), NPErrorInvalidInstance);
  EXPECT_EQ(plugin.destroy(nullptr, nullptr), NPErrorInvalidInstance);
  EXPECT_EQ(plugin.setwindow(nullptr, nullptr), NPErrorInvalidInstance);
  EXPECT_EQ(plugin.destroystream(nullptr, nullptr, 0), NPErrorInvalidInstance);
  uint16_t streamType = 0;
  EXPECT_EQ(plugin.newstream(nullptr, type, nullptr, 0, &streamType), NPErrorInvalidInstance);

  Embed& embed = browser.NewEmbed();
  ASSERT_TRUE(embed.created);
  EXPECT_EQ(plugin.newstream(&embed.npp, type, nullptr, 0, &streamType), NPErrorNone);
  EXPECT_EQ(streamType, NPStreamAsFileOnly);
  EXPECT_EQ(plugin.writeready(&embed.npp, nullptr), 0x0FFFFFFF);
  char data[10] = {};
  EXPECT_EQ(plugin.write(&embed.npp, nullptr, 0, 10, data), 10);
  NPPrint print{NPModeFullPage, 1};
  plugin.print(&embed.npp, &print);
  EXPECT_EQ(print.pluginPrinted, 0);
}

TEST(PluginModuleTest, AWindowWithoutASceneShowsTheSplashInItsMiddleOnBlack) {
  BrowserTestHost browser;
  Embed& embed = browser.NewEmbed({}, 200, 100);
  browser.Pump();
  const std::optional<Frame> frame = browser.LastFrame(embed);
  ASSERT_TRUE(frame);
  const Point origin{200 / 2 - 75, 100 / 2 - 21};
  EXPECT_EQ(frame->At(origin.x - 1, origin.y), 0u);
  EXPECT_EQ(frame->At(origin.x, origin.y - 1), 0u);
  EXPECT_EQ(frame->At(origin.x + 150, origin.y + 41), 0u);
  EXPECT_EQ(frame->At(origin.x, origin.y), 0x0A1A3Au) << "the top of the splash's sky";
  EXPECT_EQ(frame->At(origin.x + 149, origin.y + 41) >> 24, 0u);
  EXPECT_NE(frame->At(origin.x + 149, origin.y + 41), 0u) << "its hills reach the last pixel";
}

}  // namespace
}  // namespace vx::test
