#include "platform/Window.h"

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"

namespace vx {
namespace {

using test::Log;
using test::LoggedIds;
using test::RecordingClass;

WindowDesc DescOf(const char* className, uint32_t style = 0, void* userData = nullptr, void* createParam = nullptr) {
  WindowDesc desc;
  desc.className = className;
  desc.style = style;
  desc.userData = userData;
  desc.createParam = createParam;
  return desc;
}

TEST(WindowClasses, NamesAreUniqueAndStayWhileWindowsUseThem) {
  RecordingClass recording;
  ASSERT_TRUE(recording.Registered());
  EXPECT_FALSE(RegisterWindowClass({RecordingClass::kName, &test::RecordingProc})) << "a taken name";
  EXPECT_FALSE(RegisterWindowClass({"NoProcedure", nullptr}));

  WindowHandle window = recording.Create();
  EXPECT_FALSE(UnregisterWindowClass(RecordingClass::kName)) << "a window of the class still exists";
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterWindowClass(RecordingClass::kName));
  EXPECT_FALSE(IsWindowClassRegistered(RecordingClass::kName));
  EXPECT_EQ(CreateWindow(DescOf(RecordingClass::kName)), WindowHandle::None);
}

intptr_t ReadsItsOwnerOnCreate(WindowHandle window, uint32_t id, uintptr_t, intptr_t lParam) {
  if (id == kMsgCreate) {
    auto* seen = static_cast<void**>(GetWindowUserData(window));
    *seen = reinterpret_cast<void*>(lParam);
  }
  return 0;
}

TEST(Windows, CreationBindsTheOwnerBeforeTheFirstMessage) {
  ASSERT_TRUE(RegisterWindowClass({"Bound", &ReadsItsOwnerOnCreate}));
  void* seenParam = nullptr;
  int param = 7;
  WindowHandle window = CreateWindow(DescOf("Bound", kWindowMessageOnly, &seenParam, &param));
  ASSERT_NE(window, WindowHandle::None);
  EXPECT_EQ(seenParam, &param);
  DestroyWindow(window);
  UnregisterWindowClass("Bound");
}

TEST(Windows, DestroyReachesChildrenAndLeavesOnlyInvalidHandles) {
  RecordingClass recording;
  WindowHandle parent = recording.Create();
  WindowHandle child = recording.Create(kWindowVisible, parent);
  int a = 1, b = 2;
  SetWindowProperty(child, "instance->pdata", &a);
  SetWindowProperty(child, "instance->pdata", &b);
  EXPECT_EQ(GetWindowProperty(child, "instance->pdata"), &b) << "set replaces";
  ASSERT_TRUE(PostMessage(child, kMsgUser + 5));
  SetTimer(child, 1, 1);
  Log().clear();

  EXPECT_TRUE(DestroyWindow(parent));
  EXPECT_EQ(Log(), (std::vector<test::Received>{{parent, kMsgDestroy, 0, 0}, {child, kMsgDestroy, 0, 0}}));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(DestroyWindow(child));
  EXPECT_EQ(GetWindowProperty(child, "instance->pdata"), nullptr);
  EXPECT_EQ(SendMessage(child, kMsgUser), 0);
  EXPECT_FALSE(PostMessage(child, kMsgUser));
  Message message;
  EXPECT_FALSE(PeekMessage(message)) << "queued messages and timers went with the window";

  WindowHandle next = recording.Create();
  EXPECT_NE(next, parent);
  EXPECT_NE(next, child) << "handles are never reused";
}

std::vector<std::string> g_chain;
WindowProc g_beforeOuter = nullptr;
WindowProc g_beforeInner = nullptr;

intptr_t InnerSubclass(WindowHandle window, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  g_chain.push_back("inner");
  if (id == kMsgUser + 1) return 41;  // handled here, never reaches the class
  return CallWindowProc(g_beforeInner, window, id, wParam, lParam);
}

intptr_t OuterSubclass(WindowHandle window, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  g_chain.push_back("outer");
  return CallWindowProc(g_beforeOuter, window, id, wParam, lParam) + 1;
}

TEST(Windows, SubclassesChainAndRestoreInReverse) {
  RecordingClass recording;
  WindowHandle window = recording.Create();
  g_chain.clear();
  g_beforeInner = SetWindowProc(window, &InnerSubclass);
  g_beforeOuter = SetWindowProc(window, &OuterSubclass);
  EXPECT_EQ(g_beforeInner, &test::RecordingProc);
  EXPECT_EQ(g_beforeOuter, &InnerSubclass);

  Log().clear();
  EXPECT_EQ(SendMessage(window, kMsgUser + 1), 42);
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(SendMessage(window, kMsgUser + 2), 1);
  EXPECT_EQ(LoggedIds(), std::vector<uint32_t>{kMsgUser + 2});
  EXPECT_EQ(g_chain, (std::vector<std::string>{"outer", "inner", "outer", "inner"}));

  EXPECT_EQ(SetWindowProc(window, g_beforeOuter), &OuterSubclass);
  EXPECT_EQ(SetWindowProc(window, g_beforeInner), &InnerSubclass);
  EXPECT_EQ(GetWindowProc(window), &test::RecordingProc);
  EXPECT_EQ(SetWindowProc(window, nullptr), nullptr) << "a null procedure is refused";
  EXPECT_EQ(GetWindowProc(window), &test::RecordingProc);
}

TEST(Windows, GeometryIsRelativeToTheParent) {
  RecordingClass recording;
  WindowHandle frame = recording.Create();
  MoveWindow(frame, 100, 50, 412, 350);
  WindowHandle view = recording.Create(kWindowVisible, frame, 10, 10);
  Log().clear();
  MoveWindow(view, 10, 20, 300, 200);
  EXPECT_EQ(Log(), (std::vector<test::Received>{{view, kMsgSize, 300, 200}}));
  MoveWindow(view, 12, 20, 300, 200);
  EXPECT_EQ(Log().size(), 1u) << "moving without resizing sends no kMsgSize";

  EXPECT_EQ(GetClientRect(view), (Rect{0, 0, 300, 200}));
  EXPECT_EQ(GetWindowScreenRect(view), (Rect{112, 70, 412, 270}));
  EXPECT_EQ(ScreenToClient(view, {113, 75}), (Point{1, 5}));
  EXPECT_EQ(ClientToScreen(view, {1, 5}), (Point{113, 75}));
  EXPECT_EQ(GetClientRect(WindowHandle{999999}), Rect{});
}

}  // namespace
}  // namespace vx
