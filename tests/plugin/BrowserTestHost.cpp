#include "tests/plugin/BrowserTestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/Input.h"
#include "platform/MessagePump.h"

namespace vx::test {
namespace {

BrowserTestHost* gHost = nullptr;
constexpr int kMessagesPerPass = 64;
// Where the pointer rests when a test begins: over no page window, whatever
// the test before left it over.
constexpr Point kOffEveryPage{-1000, -1000};
constexpr uint32_t kScreenDepth = 24;

// The engine component, installed as a user's Components folder holds it.
void InstallEngine() {
  std::filesystem::copy_file(VX_ENGINE_MODULE, HostTestRoot::Components() + "Vantessel2_2.so",
                             std::filesystem::copy_options::overwrite_existing);
}

}  // namespace

BrowserTestHost::BrowserTestHost(uint16_t browserVersion) {
  gHost = this;
  Headless().Reset();
  ReleaseAllKeys();
  DeliverPointerMove(kOffEveryPage);
  std::filesystem::create_directories(Pages());
  InstallEngine();
  module_ = DynamicLibrary::Open(VX_PLUGIN_MODULE);
  if (!module_) return;
  pluginName_ = AskValue(NPPVpluginNameString);
  pluginDescription_ = AskValue(NPPVpluginDescriptionString);

  // Every service is there, as in a real browser; only those the plug-in
  // uses answer.
  static_assert(sizeof browser_ == offsetof(NPNetscapeFuncs, geturl) + VX_NP_BROWSER_SLOT_COUNT * sizeof(NPUntypedFn));
  auto* slots = reinterpret_cast<NPUntypedFn*>(reinterpret_cast<char*>(&browser_) + offsetof(NPNetscapeFuncs, geturl));
  std::fill_n(slots, VX_NP_BROWSER_SLOT_COUNT, &UnexpectedCall);
  browser_.size = sizeof browser_;
  browser_.version = browserVersion;
  browser_.geturl = &GetUrl;
  browser_.status = &Status;
  browser_.memalloc = &MemAlloc;
  browser_.memfree = &MemFree;
  plugin_.size = sizeof plugin_;
  initialized_ = Export<NP_InitializeFn>(VX_NP_INITIALIZE)(&browser_, &plugin_);
}

void BrowserTestHost::Close() {
  if (module_ && !closed_) {
    for (Embed& embed : embeds_) Destroy(embed);
    static_cast<void>(Export<NP_ShutdownFn>(VX_NP_SHUTDOWN)());
    EXPECT_EQ(unexpectedCalls, 0) << "the plug-in called a browser service it has no use for";
  }
  closed_ = true;
}

std::string BrowserTestHost::AskValue(NPPVariable variable) const {
  const char* text = nullptr;
  if (Export<NP_GetValueFn>(VX_NP_GET_VALUE)(nullptr, variable, &text) != NPErrorNone || !text) return {};
  return text;
}

Embed& BrowserTestHost::NewEmbed(std::vector<std::pair<std::string, std::string>> parameters, int width,
                                     int height, Point origin) {
  Embed& embed = embeds_.emplace_back();
  for (auto& [name, value] : parameters) {
    embed.names.push_back(name);
    embed.values.push_back(value);
  }
  embed.origin = origin;
  embed.window = pageWindows_.Create(kWindowVisible, WindowHandle::None, width, height, origin.x, origin.y);
  std::vector<char*> argn;
  std::vector<char*> argv;
  for (size_t i = 0; i < embed.names.size(); ++i) {
    argn.push_back(embed.names[i].data());
    argv.push_back(embed.values[i].data());
  }
  char type[] = "x-vantessel/x-tsw";
  embed.created = plugin_.newp(type, &embed.npp, NPModeEmbedded, static_cast<int16_t>(argn.size()), argn.data(),
                               argv.data(), nullptr) == NPErrorNone;
  // The headless platform has no X display to name.
  embed.windowInfo = {NPSetWindowCallbackType, nullptr, nullptr, 0, kScreenDepth};
  const NPRect wholeWindow{0, 0, static_cast<uint16_t>(height), static_cast<uint16_t>(width)};
  embed.npWindow = {reinterpret_cast<void*>(static_cast<uintptr_t>(embed.window)),
                    0,
                    0,
                    static_cast<uint32_t>(width),
                    static_cast<uint32_t>(height),
                    wholeWindow,
                    &embed.windowInfo,
                    NPWindowTypeWindow};
  static_cast<void>(plugin_.setwindow(&embed.npp, &embed.npWindow));
  return embed;
}

void BrowserTestHost::Stream(Embed& embed, const std::string& url, const std::string& file) {
  NPStream stream{nullptr, nullptr, url.c_str(), 0, 0, nullptr, nullptr};
  char type[] = "x-vantessel/x-tsw";
  uint16_t streamType = 0;
  static_cast<void>(plugin_.newstream(&embed.npp, type, &stream, 0, &streamType));
  plugin_.asfile(&embed.npp, &stream, file.empty() ? nullptr : file.c_str());
  static_cast<void>(plugin_.destroystream(&embed.npp, &stream, 0));
}

void BrowserTestHost::Destroy(Embed& embed) {
  if (!embed.created) return;
  embed.created = false;
  static_cast<void>(plugin_.destroy(&embed.npp, nullptr));
}

// A browser takes one message at a time: with many 1 ms timers that tick
// slower than that, there is always a message waiting.
void BrowserTestHost::Pump(int passes) {
  for (int pass = 0; pass < passes; ++pass) {
    Message message;
    for (int taken = 0; taken < kMessagesPerPass && PeekMessage(message); ++taken) DispatchMessage(message);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool BrowserTestHost::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    Pump(1);
    if (done()) return true;
  }
  return false;
}

bool BrowserTestHost::PumpFrames(const Embed& embed, int frames) {
  const int target = Headless().PresentCount(embed.window) + frames;
  return PumpUntil([&] { return Headless().PresentCount(embed.window) >= target; });
}

void BrowserTestHost::MovePointer(const Embed& embed, Point client) {
  DeliverPointerMove({embed.origin.x + client.x, embed.origin.y + client.y});
  Pump(1);
}

void BrowserTestHost::Click(const Embed& embed, Point client) {
  MovePointer(embed, client);
  Pump();
  DeliverButton(true);
  Pump();
  DeliverButton(false);
  Pump();
}

std::string BrowserTestHost::Write(const std::string& name, const std::string& text) const {
  HostTestRoot::WriteFile(Pages() + name, text);
  return Pages() + name;
}

NPError BrowserTestHost::GetUrl(NPP npp, const char* url, const char* target) {
  UrlRequest request{npp, url ? url : "", target ? target : ""};
  gHost->urlRequests.push_back(request);
  if (gHost->onGetUrl) gHost->onGetUrl(request);
  return NPErrorNone;
}

void BrowserTestHost::UnexpectedCall() { ++gHost->unexpectedCalls; }

void BrowserTestHost::Status(NPP, const char* text) { gHost->statusTexts.push_back(text ? text : ""); }

void* BrowserTestHost::MemAlloc(uint32_t size) {
  void* memory = std::malloc(size);
  if (!memory) return nullptr;
  ++gHost->allocations;
  gHost->live_.insert(memory);
  return memory;
}

void BrowserTestHost::MemFree(void* pointer) {
  if (gHost->live_.erase(pointer) == 0) {
    ++gHost->unknownFrees;
    return;
  }
  ++gHost->frees;
  std::free(pointer);
}

}  // namespace vx::test
