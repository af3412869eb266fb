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

#include <glib.h>

namespace vx::test {
namespace {

BrowserTestHost* gHost = nullptr;
constexpr int kMessagesPerPass = 64;
// Where the pointer rests when a test begins: over no page window, whatever
// the test before left it over.
constexpr Point kOffEveryPage{-1000, -1000};
constexpr uint32_t kScreenDepth = 24;
// GLib work done in one pass at most, as a busy browser loop would.
constexpr int kLoopIterationsPerPass = 64;

// The engine component, installed as a user's Components folder holds it.
void InstallEngine() {
  std::filesystem::copy_file(VX_ENGINE_MODULE, HostTestRoot::Components() + "Vantessel2_2.so",
                             std::filesystem::copy_options::overwrite_existing);
}

}  // namespace

BrowserTestHost::BrowserTestHost(uint16_t browserVersion, Drawing drawing) : drawing_(drawing) {
  gHost = this;
  if (drawing_ == Drawing::kWindowless) {
    xServer_ = std::make_unique<XvfbServer>();
    if (!xServer_->Display().empty()) display_ = std::make_unique<XTestDisplay>(xServer_->Display());
  }
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
  browser_.setvalue = &SetValue;
  browser_.invalidaterect = &InvalidateRect;
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
  for (Embed& embed : embeds_) FreeDrawable(embed);
  display_.reset();
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
  if (drawing_ == Drawing::kWindowed)
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
  if (embed.windowless) {
    GiveDrawable(embed, width, height);
    return embed;
  }
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

// As a windowless browser does: a pixmap of the embed's size on the
// display, named with the display's visual in the window record.
void BrowserTestHost::GiveDrawable(Embed& embed, int width, int height) {
  if (!HasDisplay()) return;
  FreeDrawable(embed);
  embed.drawable = display_->CreatePixmap(width, height);
  embed.windowInfo = {NPSetWindowCallbackType, display_->Connection(), display_->Visual(), display_->Colormap(),
                      kScreenDepth};
  const NPRect wholeDrawable{0, 0, static_cast<uint16_t>(height), static_cast<uint16_t>(width)};
  embed.npWindow = {nullptr,        0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height), wholeDrawable,
                    &embed.windowInfo, NPWindowTypeDrawable};
  static_cast<void>(plugin_.setwindow(&embed.npp, &embed.npWindow));
}

void BrowserTestHost::FreeDrawable(Embed& embed) {
  if (embed.drawable && HasDisplay()) display_->FreePixmap(embed.drawable);
  embed.drawable = 0;
}

void BrowserTestHost::Resize(Embed& embed, int width, int height) {
  if (embed.windowless) {
    GiveDrawable(embed, width, height);
    return;
  }
  static_cast<void>(MoveWindow(embed.window, embed.origin.x, embed.origin.y, width, height));
  embed.npWindow.width = static_cast<uint32_t>(width);
  embed.npWindow.height = static_cast<uint32_t>(height);
  static_cast<void>(plugin_.setwindow(&embed.npp, &embed.npWindow));
}

std::optional<Frame> BrowserTestHost::LastFrame(const Embed& embed) const {
  if (!embed.windowless) return Headless().LastFrame(embed.window);
  if (!embed.drawable || embed.exposes == 0) return std::nullopt;
  return display_->Read(embed.drawable, static_cast<int>(embed.npWindow.width),
                        static_cast<int>(embed.npWindow.height));
}

bool BrowserTestHost::Send(Embed& embed, XEventBytes event) {
  return embed.created && HasDisplay() && plugin_.event(&embed.npp, event.data()) != 0;
}

bool BrowserTestHost::Expose(Embed& embed) {
  embed.exposeAsked = false;
  const bool drawn = Send(embed, display_->GraphicsExposeOf(embed.drawable, static_cast<int>(embed.npWindow.width),
                                                  static_cast<int>(embed.npWindow.height)));
  if (drawn) ++embed.exposes;
  return drawn;
}

bool BrowserTestHost::SendButton(Embed& embed, Point client, bool down, unsigned int button) {
  return Send(embed, display_->ButtonOf(client.x, client.y, down, button));
}

bool BrowserTestHost::SendMotion(Embed& embed, Point client) {
  return Send(embed, display_->MotionOf(client.x, client.y));
}

bool BrowserTestHost::SendKey(Embed& embed, unsigned long keysym, bool down) {
  return Send(embed, display_->KeyOf(keysym, down));
}

bool BrowserTestHost::SendFocus(Embed& embed, bool in) { return Send(embed, display_->FocusOf(in)); }

// A browser repaints what a plug-in invalidated once its loop is idle.
void BrowserTestHost::ExposeAsked() {
  for (Embed& embed : embeds_)
    if (embed.created && embed.exposeAsked) static_cast<void>(Expose(embed));
}

Embed* BrowserTestHost::EmbedOf(NPP npp) {
  for (Embed& embed : embeds_)
    if (&embed.npp == npp) return &embed;
  return nullptr;
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
    if (drawing_ == Drawing::kWindowless) {
      for (int done = 0; done < kLoopIterationsPerPass && g_main_context_iteration(nullptr, FALSE); ++done) {
      }
      ExposeAsked();
    } else {
      Message message;
      for (int taken = 0; taken < kMessagesPerPass && PeekMessage(message); ++taken) DispatchMessage(message);
    }
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

// A view that presented nothing for this long has nothing more to draw.
constexpr std::chrono::milliseconds kAtRestTime{200};

bool BrowserTestHost::PumpFrames(const Embed& embed, int frames) {
  auto shown = [&] { return embed.windowless ? embed.exposes : Headless().PresentCount(embed.window); };
  const int target = shown() + frames;
  int last = shown();
  auto lastChange = std::chrono::steady_clock::now();
  return PumpUntil([&] {
    const auto now = std::chrono::steady_clock::now();
    if (shown() != last) {
      last = shown();
      lastChange = now;
    }
    return last >= target || (last > 0 && now - lastChange >= kAtRestTime);
  });
}

void BrowserTestHost::MovePointer(Embed& embed, Point client) {
  if (embed.windowless)
    static_cast<void>(SendMotion(embed, client));
  else
    DeliverPointerMove({embed.origin.x + client.x, embed.origin.y + client.y});
  Pump(1);
}

void BrowserTestHost::Click(Embed& embed, Point client) {
  MovePointer(embed, client);
  Pump();
  if (embed.windowless)
    static_cast<void>(SendButton(embed, client, true));
  else
    DeliverButton(true);
  Pump();
  if (embed.windowless)
    static_cast<void>(SendButton(embed, client, false));
  else
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

// Only a windowless browser lets an instance go without a window.
NPError BrowserTestHost::SetValue(NPP npp, NPPVariable variable, void* value) {
  Embed* embed = gHost->EmbedOf(npp);
  if (!embed || variable != NPPVpluginWindowBool || gHost->drawing_ != Drawing::kWindowless) return NPErrorGeneric;
  embed->windowless = value == nullptr;
  return NPErrorNone;
}

void BrowserTestHost::InvalidateRect(NPP npp, NPRect* rect) {
  Embed* embed = gHost->EmbedOf(npp);
  if (!embed || !rect) return;
  ++embed->invalidations;
  embed->exposeAsked = true;
}

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
