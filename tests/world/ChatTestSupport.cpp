#include "tests/world/ChatTestSupport.h"

#include <gtest/gtest.h>

namespace vx::test {

void ChatClientUnderTest::Record(int32_t code, void* data, void* self) {
  EXPECT_EQ(code, kChatEventCode);
  static_cast<ChatClientUnderTest*>(self)->events.push_back(*static_cast<const ChatEvent*>(data));
}

bool StepUntil(const std::vector<ChatClientUnderTest*>& clients, ScriptedChatServer* server,
               const std::function<bool()>& done, int timeoutMs) {
  return PumpUntil(
      [&] {
        for (ChatClientUnderTest* client : clients) client->Step();
        if (server) server->Read();
        return done();
      },
      timeoutMs);
}

}  // namespace vx::test
