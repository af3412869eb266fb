// The module as a browser sees it before any scene: its exports, its name,
// the tables it takes and fills, the codes of its handlers, and the splash in
// a window with no scene.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <set>
#include <string>

#include "tests/plugin/BrowserTestHost.h"
#include "tests/plugin/DynamicSymbols.h"

namespace vx::test {
namespace {

TEST(PluginModuleTest, TheModuleExportsExactlyTheEntryPointsOfABrowserOnLinux) {
  EXPECT_EQ(DefinedDynamicSymbols(VX_PLUGIN_MODULE),
            (std::set<std::string>{"NP_GetMIMEDescription", "NP_GetValue", "NP_Initialize", "NP_Shutdown"}));
}

TEST(PluginModuleTest, TheBrowserLearnsTheNameAndTypesFirstAndGetsEveryHandler) {
  BrowserTestHost browser;
  ASSERT_EQ(browser.InitializeResult(), NPErrorNone);
  EXPECT_EQ(browser.PluginName(), "Vantessel Plugin");
  EXPECT_NE(browser.PluginDescription().find("Vantessel"), std::string::npos) << browser.PluginDescription();
  EXPECT_STREQ(browser.Export<NP_GetMIMEDescriptionFn>(VX_NP_GET_MIME_DESCRIPTION)(),
               "x-vantessel/x-tsw:tsw:Vantessel Files (*.tsw)");
  const auto getValue = browser.Export<NP_GetValueFn>(VX_NP_GET_VALUE);
  constexpr NPPVariable kWindowSize = 6;  // a value the plug-in does not give
  const char* text = nullptr;
  EXPECT_EQ(getValue(nullptr, kWindowSize, &text), NPErrorInvalidParam);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(getValue(nullptr, NPPVpluginNameString, nullptr), NPErrorInvalidParam);

  const NPPluginFuncs& plugin = browser.Plugin();
  EXPECT_EQ(plugin.version, VX_NP_PLUGIN_TABLE_VERSION);
  for (const void* handler : {reinterpret_cast<const void*>(plugin.newp), reinterpret_cast<const void*>(plugin.destroy),
                              reinterpret_cast<const void*>(plugin.setwindow),
                              reinterpret_cast<const void*>(plugin.newstream),
                              reinterpret_cast<const void*>(plugin.destroystream),
                              reinterpret_cast<const void*>(plugin.asfile),
                              reinterpret_cast<const void*>(plugin.writeready),
                              reinterpret_cast<const void*>(plugin.write), reinterpret_cast<const void*>(plugin.print),
                              reinterpret_cast<const void*>(plugin.event),
                              reinterpret_cast<const void*>(plugin.urlnotify),
                              reinterpret_cast<const void*>(plugin.getvalue),
                              reinterpret_cast<const void*>(plugin.setvalue)})
    EXPECT_NE(handler, nullptr);
  EXPECT_EQ(plugin.javaClass, nullptr);

  text = nullptr;
  EXPECT_EQ(plugin.getvalue(nullptr, NPPVpluginNameString, &text), NPErrorNone);
  EXPECT_STREQ(text, "Vantessel Plugin");
  EXPECT_EQ(plugin.event(nullptr, nullptr), 0) << "the page window brings the input";
}

TEST(PluginModuleTest, TablesThatAreMissingTooSmallOrOfAnotherMajorVersionAreRefused) {
  BrowserTestHost refused(0x0109);
  EXPECT_EQ(refused.InitializeResult(), NPErrorIncompatibleVersion);

  BrowserTestHost old(8);
  EXPECT_EQ(old.InitializeResult(), NPErrorNone);
  EXPECT_EQ(old.Plugin().urlnotify, nullptr) << "a browser before notifications";

  BrowserTestHost browser;
  const auto initialize = browser.Export<NP_InitializeFn>(VX_NP_INITIALIZE);
  NPNetscapeFuncs table = browser.BrowserTable();
  NPPluginFuncs plugin{};
  plugin.size = sizeof plugin;
  EXPECT_EQ(initialize(nullptr, &plugin), NPErrorInvalidFunctionTable);
  EXPECT_EQ(initialize(&table, nullptr), NPErrorInvalidFunctionTable);
  table.size = offsetof(NPNetscapeFuncs, memfree);
  EXPECT_EQ(initialize(&table, &plugin), NPErrorInvalidFunctionTable) << "a browser table without memfree";
  table.size = sizeof table;
  plugin.size = offsetof(NPPluginFuncs, setvalue);
  EXPECT_EQ(initialize(&table, &plugin), NPErrorInvalidFunctionTable) << "a plug-in table without setvalue";
  EXPECT_EQ(plugin.newp, nullptr) << "a refused table is left as it was";
}

TEST(PluginModuleTest, ABrowserTableLongerThanThePublishedOneIsReadOnlyAsFarAsItIsKnown) {
  BrowserTestHost browser;
  struct NewerBrowserTable {
    NPNetscapeFuncs known;
    NPUntypedFn later[4];
  } newer{browser.BrowserTable(), {}};
  newer.known.size = sizeof newer;
  NPPluginFuncs plugin{};
  plugin.size = sizeof plugin;
  ASSERT_EQ(browser.Export<NP_InitializeFn>(VX_NP_INITIALIZE)(&newer.known, &plugin), NPErrorNone);
  Embed& embed = browser.NewEmbed();
  EXPECT_TRUE(embed.created) << "the instance is allocated through the newer table";
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
  NPPrint print{};
  print.mode = NPModeFullPage;
  print.print.fullPrint.pluginPrinted = 1;
  plugin.print(&embed.npp, &print);
  EXPECT_EQ(print.print.fullPrint.pluginPrinted, 0);
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
