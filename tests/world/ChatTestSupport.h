// A chat client under test: its local user, the events it reports, and a
// loop that polls it until something holds.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/NMChannel.h"
#include "engine/world/chat/IrcClient.h"
#include "tests/world/ChatPeers.h"

namespace vx::test {

// The socket channel's window classes, registered while the object lives.
// Declared before the clients, it goes after them: a class goes only once
// no window of it is left.
class ChannelWindowClasses {
 public:
  ChannelWindowClasses() : registered_(RegisterChannelWindowClasses()) {}
  ~ChannelWindowClasses() { UnregisterChannelWindowClasses(); }
  ChannelWindowClasses(const ChannelWindowClasses&) = delete;
  ChannelWindowClasses& operator=(const ChannelWindowClasses&) = delete;
  bool Registered() const { return registered_; }

 private:
  bool registered_;
};

class ChatClientUnderTest {
 public:
  ChatClientUnderTest(std::string_view nick, uint16_t port) {
    user.SetNick(nick);
    client = std::make_unique<CIrcClient>(user, kChatServerAddress, port, ScriptFunctionCallback{this, &Record});
  }

  // One poll step; its result and status are kept.
  void Step() {
    const int32_t result = client->HandleLine(status);
    if (result == kChatWelcomed) ++welcomes;
  }

  // The events of one kind, in order.
  std::vector<ChatEvent> EventsOf(ChatEventKind kind) const {
    std::vector<ChatEvent> found;
    for (const ChatEvent& event : events) {
      if (event.kind == kind) found.push_back(event);
    }
    return found;
  }
  bool HasEvent(ChatEventKind kind, std::string_view text, std::string_view nick, std::string_view message) const {
    for (const ChatEvent& event : events) {
      if (event.kind == kind && event.text == text && event.nick == nick && event.message == message) return true;
    }
    return false;
  }
  bool HasServerMessage(std::string_view message) const {
    return HasEvent(ChatEventKind::kServerMessage, "", "", message);
  }
  // The channel of that name; null when the client holds none.
  CChatChannel* Channel(std::string_view name) const {
    const int32_t index = client->FindChannel(name);
    return index >= 0 ? &client->Channel(index) : nullptr;
  }

  CChatUser user;
  std::unique_ptr<CIrcClient> client;
  std::string status;
  int welcomes = 0;
  std::vector<ChatEvent> events;

 private:
  static void Record(int32_t code, void* data, void* self);
};

// Polls the clients and reads the scripted server (when given) until done()
// holds; false after ten seconds.
bool StepUntil(const std::vector<ChatClientUnderTest*>& clients, ScriptedChatServer* server,
               const std::function<bool()>& done, int timeoutMs = 10000);

}  // namespace vx::test
