// Worlds with an IRC node, logged into a real chat server (ngircd on a
// loopback port, named unlike its address) where a plain IRC user waits:
// the node fills its text nodes with the status, the channel list, the
// people and the chat.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/world/NetworkSettings.h"
#include "engine/world/nodes/IrcNode.h"
#include "tests/nodes/NodeTestSupport.h"
#include "tests/world/ChatTestSupport.h"
#include "tests/world/LinkController.h"
#include "tests/world/WorldTestNodes.h"

namespace vx::test {
namespace {

// Text nodes for every list (the messages' without lines), and a second IRC
// node whose status goes to a Script's SFString `string`.
constexpr char kChatWorld[] =
    "Shape { geometry DEF Status Text { string [ \"\" ] } }\n"
    "Shape { geometry DEF Worlds Text { string [ \"\" \"\" \"\" \"\" ] } }\n"
    "Shape { geometry DEF People Text { string [ \"\" \"\" \"\" \"\" \"\" ] } }\n"
    "Shape { geometry DEF Chat Text { string [ \"\" \"\" ] } }\n"
    "Shape { geometry DEF Messages Text { string [ ] } }\n"
    "DEF Sensor Script { field SFString string \"untouched\" }\n"
    "DEF Irc IRC { server \"127.0.0.1\" channel \"#lobby\" nick \"viewer\"\n"
    "  connectStatus USE Status worldList USE Worlds peopleList USE People chatIn USE Chat\n"
    "  IRCMessages USE Messages }\n"
    "DEF Other IRC { server \"127.0.0.1\" nick \"other\" connectStatus USE Sensor }\n";

class IrcNodeTest : public ::testing::Test {
 protected:
  // One server for the suite: the engine reads the chat port once.
  static void SetUpTestSuite() {
    server_ = new NgircdServer();
    setenv("VANTESSEL_CHAT_PORT", std::to_string(server_->Port()).c_str(), 1);
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(classes_.Registered());
    ASSERT_NE(server_->Port(), 0) << "ngircd did not start";
    ASSERT_EQ(CurrentNetworkSettings().chatPort, server_->Port());
  }

  // A plain IRC user "host" in #lobby, which it made.
  void HostWaitsInTheLobby() {
    ASSERT_TRUE(host_.Connect(server_->Port()));
    host_.Send("NICK host\r\nUSER h h h :Host\r\n");
    AwaitHost(" 001 host ");
    host_.Send("JOIN #lobby\r\nTOPIC #lobby :the lobby\r\n");
    AwaitHost(" TOPIC #lobby :the lobby");
  }
  void AwaitHost(std::string_view text) {
    ASSERT_TRUE(PumpUntil([&] { host_.Read(); }, [&] { return host_.Received().find(text) != std::string::npos; }))
        << "host never saw " << text;
  }

  void Load(const std::string& body) {
    world_ = ReadWorld(body);
    world_->RenderView(RenderPass::Activate, &view_.view);
  }
  // Draws frames until done() holds.
  bool FramesUntil(const std::function<bool()>& done) {
    return PumpUntil(
        [&] {
          world_->RenderFrame(&view_.view);
          host_.Read();
        },
        done);
  }
  std::vector<std::string> Lines(const char* defName) {
    const auto* lines = static_cast<const MFString*>(world_->FindNode(defName)->GetFieldByName("string"));
    std::vector<std::string> texts;
    for (const SFString& line : lines->Span()) texts.emplace_back(TextOf(line));
    return texts;
  }
  bool Shows(const char* defName, std::string_view text) {
    const std::vector<std::string> lines = Lines(defName);
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }

  // A plain IRC user in the channel.
  void Arrive(LinkController& user, const std::string& nick, const char* channel) {
    ASSERT_TRUE(user.Connect(server_->Port()));
    user.Send("NICK " + nick + "\r\nUSER u u u :User\r\nJOIN " + channel + "\r\n");
  }

  static NgircdServer* server_;
  ChannelWindowClasses classes_;
  LinkController host_;
  std::unique_ptr<CBrowser> world_;
  HeadlessView view_{32, 24};
};

NgircdServer* IrcNodeTest::server_ = nullptr;

TEST_F(IrcNodeTest, LogsInJoinsAndFillsItsTextNodes) {
  ASSERT_NO_FATAL_FAILURE(HostWaitsInTheLobby());
  Load(kChatWorld);
  const uint32_t statusChanges = world_->FindNode("Status")->GetChangeCount();
  const auto& other = *static_cast<CIrcNode*>(world_->FindNode("Other"));
  ASSERT_TRUE(FramesUntil([&] {
    return Shows("People", "viewer") && Shows("People", "host") && other.GetClient()->IsLoggedIn();
  }));
  EXPECT_EQ(Lines("Status"), std::vector<std::string>{"Logged in as viewer."});
  EXPECT_EQ(world_->FindNode("Status")->GetChangeCount() - statusChanges, 3u)
      << "connecting, logging in, logged in: each written once";
  EXPECT_TRUE(Shows("Worlds", "#lobby")) << "the channel list shows each channel's name";
  EXPECT_TRUE(Shows("Worlds", "&SERVER"));
  EXPECT_EQ(Lines("People").size(), 5u);

  host_.Send("PRIVMSG #lobby :hello, viewer\r\nPRIVMSG viewer :psst\r\n");
  ASSERT_TRUE(FramesUntil([&] { return Shows("Chat", "host: (Private)psst"); }));
  EXPECT_EQ(Lines("Chat"), (std::vector<std::string>{"host: hello, viewer", "host: (Private)psst"}));

  auto& irc = *static_cast<CIrcNode*>(world_->FindNode("Irc"));
  SFString renamed{};
  SetStringValue(renamed, "renamed");
  (void)irc.ReceiveEvent("set_nick", &renamed);
  EXPECT_EQ(irc.GetLocalUser().nick, "renamed");
  const size_t seen = host_.Received().size();
  host_.Send("PRIVMSG #lobby :\x01ReportPosition\x01\r\n");
  ASSERT_TRUE(FramesUntil([&] { return host_.Received().find("MoveAvatar", seen) != std::string::npos; }));
  EXPECT_NE(host_.Received().find(":viewer!", seen), std::string::npos) << "a new nick is not sent to the server";
  EXPECT_EQ(host_.Received().find("NICK", seen), std::string::npos);
  EXPECT_TRUE(Lines("Messages").empty()) << "a `string` without lines shows nothing";
  EXPECT_EQ(TextOf(*static_cast<const SFString*>(world_->FindNode("Sensor")->GetFieldByName("string"))), "untouched")
      << "an SFString `string` is no text target";
}

// The people shown follow renames, parts, quits and kicks; a kick of the
// viewer itself empties the list and says who did it.
TEST_F(IrcNodeTest, ThePeopleShownFollowWhoComesGoesAndIsRenamedOrKicked) {
  ASSERT_TRUE(host_.Connect(server_->Port()));
  host_.Send("NICK chief\r\nUSER c c c :Chief\r\nJOIN #square\r\n");
  AwaitHost(" 366 chief #square ");
  Load(
      "Shape { geometry DEF Status Text { string [ \"\" ] } }\n"
      "Shape { geometry DEF People Text { string [ \"\" \"\" \"\" \"\" \"\" ] } }\n"
      "DEF Irc IRC { server \"127.0.0.1\" channel \"#square\" nick \"watcher\"\n"
      "  connectStatus USE Status peopleList USE People }\n");
  LinkController alice, carol, dave;
  ASSERT_TRUE(FramesUntil([&] { return Shows("People", "watcher") && Shows("People", "chief"); }));
  Arrive(alice, "alice", "#square");
  Arrive(carol, "carol", "#square");
  Arrive(dave, "dave", "#square");
  ASSERT_TRUE(
      FramesUntil([&] { return Shows("People", "alice") && Shows("People", "carol") && Shows("People", "dave"); }));

  const struct {
    LinkController* user;
    const char* line;
    const char* shown;
    const char* gone;
  } steps[] = {
      {&alice, "NICK alice2", "alice2", "alice"},
      {&alice, "PART #square", "", "alice2"},
      {&carol, "QUIT :later", "", "carol"},
      {&host_, "KICK #square dave :out", "", "dave"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.line);
    step.user->Send(std::string(step.line) + "\r\n");
    EXPECT_TRUE(FramesUntil([&] { return Shows("People", step.shown) && !Shows("People", step.gone); }));
  }
  EXPECT_EQ(Lines("People"), (std::vector<std::string>{"", "", "", "watcher", "chief"}));

  host_.Send("KICK #square watcher :enough\r\n");
  ASSERT_TRUE(FramesUntil([&] { return Lines("Status")[0].starts_with("Kicked"); }));
  EXPECT_EQ(Lines("Status"), std::vector<std::string>{"Kicked from #square by chief: enough"});
  EXPECT_EQ(Lines("People"), std::vector<std::string>(5, ""));
}

}  // namespace
}  // namespace vx::test
