// IRC: puts a chat room into a world. It connects to a chat server, joins
// one channel and writes the status, the server's channel list, the people
// present, the chat lines and other server messages into the `string`
// fields of the text nodes its fields name. Everything happens in its
// per-frame work; the connection lives as long as the node.
//
// A text node is any node whose `string` is an MFString (a Text node, say).
// Appending to it keeps its number of lines: every line moves up by one and
// the new text becomes the last; a `string` without lines shows nothing.
// Sending chat (sendTo, chatOut, sendChat) is declared and does nothing.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/scene/Node.h"
#include "engine/world/chat/ChatUser.h"
#include "engine/world/chat/IrcClient.h"

namespace vx {

class NodeClassTable;

class CIrcNode : public CNode {
 public:
  CIrcNode();

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeIRC; }
  // The activation pass turns the chat on, the deactivation pass off (the
  // connection stays). While on, every traversal polls the client once.
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // Null until the server and the nick are known and the node has been on.
  CIrcClient* GetClient() const { return client_.get(); }
  const CChatUser& GetLocalUser() const { return localUser_; }

  SFString server{};
  SFString channel{};
  SFString nick{};
  SFString sendTo{};
  CNodeRef connectStatus;
  CNodeRef chatIn;
  CNodeRef chatOut;
  CNodeRef peopleList;
  CNodeRef IRCMessages;
  CNodeRef children;
  CNodeRef worldList;

 protected:
  ~CIrcNode() override = default;

 private:
  void Poll();
  void ShowStatus(const std::string& status);
  void JoinChannel();
  void OnChatEvent(const ChatEvent& event);
  // peopleList follows the users of the channel an event names.
  void ShowPeopleOf(const std::string& channelName);
  static void ChatHandler(int32_t code, void* data, void* self);

  bool on_ = false;
  bool joined_ = false;
  CChatUser localUser_;
  // Declared after the local user, which it refers to, so that it goes first.
  std::unique_ptr<CIrcClient> client_;
  std::string lastStatus_;
};

void RegisterIrcNode(NodeClassTable& table);

}  // namespace vx
