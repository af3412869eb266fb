// keyInput, downloadStatus and speechRecognition: typed text, the download
// service's progress text, and a name that does nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <vantessel/Download.h>

#include "ReceivedValues.h"
#include "engine/hostlink/HostComponent.h"
#include "engine/hostlink/HostTable.h"
#include "engine/interface/EngineInterface.h"
#include "engine/interface/EngineSlotSupport.h"
#include "engine/world/SceneView.h"
#include "tests/platform/WindowTestSupport.h"

namespace vx::test {
namespace {

using Lines = std::vector<std::string>;

// Script K turning keys into text, its keyPressed routed to the recorder.
struct KeyInputTest {
  explicit KeyInputTest(const std::string& parameters)
      : w("DEF K Script { url \"vxn:keyInput\" " + parameters +
          " eventOut MFString keyPressed }\n"
          "DEF Watch Script { url \"record:\" eventIn MFString text }\nROUTE K.keyPressed TO Watch.text"),
        values(w),
        services(*w.world) {
    w.view.view.SetServices(&services);
  }
  // One frame for each character typed.
  void Type(const std::string& keys) {
    for (char key : keys) {
      services.Type(static_cast<uint8_t>(key));
      w.Frame();
    }
    services.Release();
  }
  size_t Sent() const { return values.To("text").size(); }
  Lines Text() const {
    const std::vector<ReceivedValue> sent = values.To("text");
    return sent.empty() ? Lines{"<nothing sent>"} : sent.back().strings;
  }

  ScriptWorld w;
  ReceivedValues values;
  CInputServices services;
};

TEST(KeyInputBehaviour, TopToBottomLinesWrapAtMaxLengthAndScrollAtMaxHeight) {
  KeyInputTest wrapped("field SFInt32 maxLength 3");
  wrapped.Type("abcd");
  EXPECT_EQ(wrapped.Text(), (Lines{"abc", "d"}));
  EXPECT_EQ(wrapped.Sent(), 4u);

  KeyInputTest oneLine("field SFInt32 maxLength 3 field SFInt32 maxHeight 1");
  oneLine.Type("abcd");
  EXPECT_EQ(oneLine.Text(), (Lines{"d"}));
}

TEST(KeyInputBehaviour, AKeyIsTakenOnceHoweverLongItIsPending) {
  KeyInputTest t("");
  t.services.Type('a');
  t.w.Frames(3);
  t.services.Type('a');
  t.w.Frame();
  EXPECT_EQ(t.Text(), (Lines{"aa"}));
  EXPECT_EQ(t.Sent(), 2u);
}

TEST(KeyInputBehaviour, BottomToTopStartsWithMaxHeightLinesAndScrollsUp) {
  KeyInputTest t(R"(field SFBool bottomToTop TRUE field SFInt32 maxHeight 4 field SFInt32 maxLength 2
                    field MFString startString ["x"])");
  t.w.Frame();
  EXPECT_EQ(t.Text(), (Lines{"", "", "", "x"}));
  t.Type("ab");
  EXPECT_EQ(t.Text(), (Lines{"", "", "xa", "b"}));

  KeyInputTest many(R"(field SFInt32 maxHeight 2 field MFString startString ["one", "two", "three"])");
  many.w.Frame();
  EXPECT_EQ(many.Text(), (Lines{"one", "two"}));
}

TEST(KeyInputBehaviour, BackspaceOtherKeysAndFocus) {
  KeyInputTest t("field SFInt32 maxLength 2 field SFBool inFocus TRUE");
  t.Type("abc\b\b");
  EXPECT_EQ(t.Text(), (Lines{"ab", ""}));
  const size_t sent = t.Sent();
  t.Type("\b");
  EXPECT_EQ(t.Sent(), sent + 1) << "backspace on an empty line still reports";
  EXPECT_EQ(t.Text(), (Lines{"ab", ""}));
  t.Type("\t\x1b\x80\xfe");
  EXPECT_EQ(t.Sent(), sent + 1) << "keys below 32 and from 128 are ignored";
  t.Type("\x7f");
  EXPECT_EQ(t.Text(), (Lines{"ab", "\x7f"}));

  KeyInputTest unfocused("field SFBool inFocus FALSE");
  unfocused.Type("abc");
  EXPECT_EQ(unfocused.Sent(), 0u);
}

TEST(KeyInputBehaviour, SizesFromTheSceneAreBoundedToWhatTheTextHolds) {
  KeyInputTest wide("field SFInt32 maxLength 100000");
  wide.Type(std::string(300, 'w'));
  EXPECT_EQ(wide.Text(), (Lines{std::string(255, 'w'), std::string(45, 'w')}));

  KeyInputTest tall("field SFBool bottomToTop TRUE field SFInt32 maxHeight 2147483647 field MFString startString [\"x\"]");
  tall.w.Frame();
  ASSERT_EQ(tall.Text().size(), 1024u);
  EXPECT_EQ(tall.Text().back(), "x");

  KeyInputTest none("field SFInt32 maxLength -5 field SFInt32 maxHeight 0");
  none.Type("ab");
  EXPECT_EQ(none.Text(), (Lines{"b"}));
}

// Keys reach the behaviour through engine slot 54 of a real view, which
// forgets the key after its tick. The first tick also activates the world,
// and the key is still taken once.
TEST(KeyInputBehaviour, KeysGivenThroughTheEngineSlotBecomeText) {
  KeyInputTest t("field SFInt32 maxLength 5");
  RecordingClass windows;
  vx::ViewHandle handle;
  handle.view = std::make_unique<CSceneView>(windows.Create(kWindowVisible, WindowHandle::None, 32, 24));
  handle.view->AttachBrowser(t.w.world.get());
  handle.view->SetFocus(true);
  const auto setKey = reinterpret_cast<VxSetViewKeyFn>(EngineSlotFunctions()[VxEngineSetViewKey]);
  ASSERT_NE(setKey, nullptr);
  for (char key : std::string("hello!")) {
    ASSERT_EQ(setKey(ToHandle(&handle), static_cast<uint8_t>(key)), EngineOk);
    handle.view->Tick();
  }
  handle.view->Tick();
  EXPECT_EQ(t.Text(), (Lines{"hello", "!"}));
  EXPECT_EQ(t.Sent(), 6u);
  EXPECT_EQ(setKey(nullptr, 'x'), EngineNullArgument);
}

// A host whose "Vx_Download" answers the progress text it is given.
class ProgressHost {
 public:
  ProgressHost() {
    current_ = this;
    table_[VxHostGetSlotByHandle] = reinterpret_cast<VxSlotFunction>(&SlotByHandle);
    table_[VxHostGetSlotByName] = reinterpret_cast<VxSlotFunction>(&SlotByName);
    table_[VxHostAcquireHandle] = reinterpret_cast<VxSlotFunction>(&AcquireHandle);
    table_[VxHostReleaseHandle] = reinterpret_cast<VxSlotFunction>(&ReleaseHandle);
    SetHostTable(table_);
    service_ = AcquireDownloadComponent();
  }
  ~ProgressHost() {
    service_.reset();
    SetHostTable(nullptr);
    current_ = nullptr;
  }
  ProgressHost(const ProgressHost&) = delete;
  ProgressHost& operator=(const ProgressHost&) = delete;

  std::string text;

 private:
  static void Progress(char* out) {
    // Fills the whole buffer, as a host may, without a terminator.
    std::memset(out, 'p', VX_DOWNLOAD_TEXT_SIZE);
    std::memcpy(out, current_->text.c_str(), std::min(current_->text.size() + 1, size_t{VX_DOWNLOAD_TEXT_SIZE}));
  }
  static void Nothing() {}
  static VxSlotFunction SlotByHandle(ComponentHandle*, int32_t slot) {
    return slot == VxDownloadGetProgressTextSlot ? reinterpret_cast<VxSlotFunction>(&Progress) : nullptr;
  }
  static VxSlotFunction SlotByName(const char*, int32_t slot) {
    return slot == VxDownloadAcquireSlot || slot == VxDownloadReleaseSlot ? reinterpret_cast<VxSlotFunction>(&Nothing)
                                                                          : nullptr;
  }
  static ComponentHandle* AcquireHandle(const char*) { return reinterpret_cast<ComponentHandle*>(&current_); }
  static void ReleaseHandle(ComponentHandle*) {}

  static inline ProgressHost* current_ = nullptr;
  VxSlotFunction table_[VxHostSlotCount] = {};
  std::shared_ptr<CHostComponent> service_;
};

constexpr const char* kStatusWorld = R"(DEF D Script { url "vxn:downloadStatus" eventOut MFString status }
                                        DEF Watch Script { url "record:" eventIn MFString text }
                                        ROUTE D.status TO Watch.text)";

TEST(DownloadStatusBehaviour, EveryFrameWithProgressTextSendsIt) {
  ProgressHost host;
  ScriptWorld w(kStatusWorld);
  ReceivedValues values(w);
  host.text = "Loading hall.wrl 40%";
  w.Frames(2);
  ASSERT_EQ(values.To("text").size(), 2u);
  EXPECT_EQ(values.To("text")[1].strings, (Lines{"Loading hall.wrl 40%"}));
  host.text.clear();
  w.Frames(2);
  EXPECT_EQ(values.To("text").size(), 2u) << "an empty text sends nothing";
  host.text = std::string(400, 'x');
  w.Frame();
  EXPECT_EQ(values.To("text").back().strings, (Lines{std::string(255, 'x')}));
}

TEST(DownloadStatusBehaviour, WithoutADownloadServiceNothingIsSent) {
  ScriptWorld w(kStatusWorld);
  ReceivedValues values(w);
  w.Frames(2);
  EXPECT_TRUE(values.all.empty());
}

TEST(SpeechRecognitionBehaviour, NeverSendsAnything) {
  ScriptWorld w(R"(DEF S Script { url "vxn:speechRecognition" eventIn SFBool listen eventOut SFBool heard
                                  eventOut SFString said }
                   DEF Watch Script { url "record:" eventIn SFBool heard eventIn SFString said }
                   ROUTE S.heard TO Watch.heard ROUTE S.said TO Watch.said)");
  ReceivedValues values(w);
  w.Send("S", "listen", int16_t{1});
  w.Frames(3);
  w.Send("S", "listen", int16_t{0});
  EXPECT_TRUE(values.all.empty());
}

}  // namespace
}  // namespace vx::test
