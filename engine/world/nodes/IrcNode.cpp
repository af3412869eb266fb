#include "engine/world/nodes/IrcNode.h"

#include "engine/scene/NodeFactory.h"
#include "engine/world/NetworkSettings.h"
#include "engine/world/chat/ChatConnection.h"

namespace vx {
namespace {

constexpr FieldSpec kIrcFields[] = {
    Field<&CIrcNode::server>("server"),
    Field<&CIrcNode::channel>("channel"),
    Field<&CIrcNode::nick>("nick"),
    Field<&CIrcNode::sendTo>("sendTo"),
    Field<&CIrcNode::connectStatus>("connectStatus"),
    Field<&CIrcNode::chatIn>("chatIn"),
    Field<&CIrcNode::chatOut>("chatOut"),
    Field<&CIrcNode::peopleList>("peopleList"),
    Field<&CIrcNode::IRCMessages>("IRCMessages"),
    Field<&CIrcNode::children>("children"),
    Field<&CIrcNode::worldList>("worldList"),
};
constexpr FieldSpec kIrcEventIns[] = {
    Event("addChildren", FieldTypeMFNode),
    Event("removeChildren", FieldTypeMFNode),
    Event("sendChat", FieldTypeSFBool),
};
constexpr FieldTable kIrcTable{Section(kIrcFields), Section(kIrcEventIns), {}};
constexpr int kNickField = IndexIn(kIrcFields, "nick");

// The node a target field names when its `string` is an MFString (a
// TextSensor's, say, is an SFString and is left alone); null otherwise.
CNode* TextTarget(const CNodeRef& field) {
  CNode* node = field.Resolve();
  return node && node->GetFieldType("string") == FieldTypeMFString ? node : nullptr;
}

// Delivers the lines as the node's new `string` and frees them.
void DeliverLines(CNode& node, MFString& lines) {
  (void)node.ReceiveEvent("set_string", &lines);
  FreeFieldValue(FieldTypeMFString, &lines);
}

MFString LinesOf(CNode& node) {
  MFString lines{};
  CopyFieldValue(FieldTypeMFString, &lines, node.GetFieldByName("string"));
  return lines;
}

void AppendLine(const CNodeRef& field, const std::string& text) {
  CNode* node = TextTarget(field);
  if (!node) return;
  MFString lines = LinesOf(*node);
  if (lines.count > 0) {
    for (int32_t i = 1; i < lines.count; ++i) lines[i - 1] = lines[i];
    SetStringValue(lines[lines.count - 1], text.c_str());
  }
  DeliverLines(*node, lines);
}

void BlankLines(const CNodeRef& field) {
  CNode* node = TextTarget(field);
  if (!node) return;
  MFString lines = LinesOf(*node);
  for (SFString& line : lines.Span()) SetStringValue(line, "");
  DeliverLines(*node, lines);
}

void ShowOneLine(const CNodeRef& field, const std::string& text) {
  CNode* node = TextTarget(field);
  if (!node) return;
  MFString lines{1, static_cast<SFString*>(AllocFieldArray(FieldTypeMFString, 1))};
  SetStringValue(lines[0], text.c_str());
  DeliverLines(*node, lines);
}

std::string FirstWordOf(const std::string& text) { return text.substr(0, text.find(' ')); }

// The channel's last users, as many as the node has lines, newest at the
// bottom; lines above them are blank.
void ShowUsers(const CNodeRef& field, const CChatChannel& channel) {
  CNode* node = TextTarget(field);
  if (!node) return;
  MFString lines = LinesOf(*node);
  const int32_t firstUser = channel.UserCount() - lines.count;
  for (int32_t line = 0; line < lines.count; ++line) {
    const int32_t user = firstUser + line;
    SetStringValue(lines[line], user >= 0 ? channel.User(user).nick.c_str() : "");
  }
  DeliverLines(*node, lines);
}

}  // namespace

CIrcNode::CIrcNode() { RegisterFields(kIrcTable); }

void CIrcNode::Traverse(RenderPass pass, CViewContext* view) {
  if (pass == RenderPass::Activate) on_ = true;
  if (pass == RenderPass::Deactivate) on_ = false;
  if (CNode* child = children.Get()) child->Traverse(pass, view);
  if (!on_) return;
  // The text nodes' events may take this node out of the scene while the
  // client reports; it stays alive until the poll is over.
  const CNodeRef keep(GetRefCount() > 0 ? this : nullptr);
  Poll();
}

void CIrcNode::Poll() {
  if (!client_) {
    if (TextOf(server).empty() || TextOf(nick).empty()) return;
    localUser_.SetNick(LineSafe(TextOf(nick)));
    client_ = std::make_unique<CIrcClient>(localUser_, TextOf(server), CurrentNetworkSettings().chatPort,
                                           ScriptFunctionCallback{this, &CIrcNode::ChatHandler});
    return;
  }
  std::string status;
  const int32_t result = client_->HandleLine(status);
  if (!status.empty() && status != lastStatus_ && TextTarget(connectStatus)) ShowStatus(status);
  if (!joined_ && result == kChatWelcomed && !TextOf(channel).empty()) JoinChannel();
}

void CIrcNode::ShowStatus(const std::string& status) {
  lastStatus_ = status;
  ShowOneLine(connectStatus, status);
}

void CIrcNode::JoinChannel() {
  joined_ = true;
  const std::string name = LineSafe(TextOf(channel));
  const int32_t held = client_->FindChannel(name);
  CChatChannel* joining = held >= 0 ? &client_->Channel(held) : client_->AddChannel(name);
  if (joining) joining->Join();
}

int CIrcNode::OnEventIn(bool isField, int index, const void* value) {
  if (isField && index == kNickField) localUser_.SetNick(LineSafe(TextOf(nick)));
  return CNode::OnEventIn(isField, index, value);
}

void CIrcNode::ChatHandler(int32_t, void* data, void* self) {
  static_cast<CIrcNode*>(self)->OnChatEvent(*static_cast<const ChatEvent*>(data));
}

void CIrcNode::OnChatEvent(const ChatEvent& event) {
  switch (event.kind) {
    case ChatEventKind::kListBegins:
      BlankLines(worldList);
      break;
    case ChatEventKind::kListEntry:
      AppendLine(worldList, FirstWordOf(event.text));
      break;
    case ChatEventKind::kUsersBegin:
      BlankLines(peopleList);
      break;
    case ChatEventKind::kUserAdded:
    case ChatEventKind::kUserLeft:
    case ChatEventKind::kUserRenamed: ShowPeopleOf(event.text); break;
    case ChatEventKind::kServerMessage:
      AppendLine(IRCMessages, event.message);
      break;
    case ChatEventKind::kChatLine: AppendLine(chatIn, event.nick + event.message); break;
    case ChatEventKind::kAvatarMessage:
      break;
  }
}

void CIrcNode::ShowPeopleOf(const std::string& channelName) {
  const int32_t index = client_ ? client_->FindChannel(channelName) : -1;
  if (index >= 0) ShowUsers(peopleList, client_->Channel(index));
}

void RegisterIrcNode(NodeClassTable& table) { table.Add<CIrcNode>("IRC"); }

}  // namespace vx
