// A node class with one field of every FieldType, and a "url" list, for the
// writer, property text and scene file tests.
#pragma once

#include <initializer_list>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"

namespace vx::test {

class CAllFieldsNode : public CNode {
 public:
  CAllFieldsNode();

  std::string_view GetTypeName() const override { return "AllFields"; }

  int16_t sfBool = 0;
  SFColor sfColor{};
  float sfFloat = 0.0f;
  SFImage sfImage{};
  int32_t sfInt32 = 0;
  CNodeRef sfNode;
  SFRotation sfRotation{};
  SFString sfString{};
  double sfTime = 0.0;
  SFVec2f sfVec2f{};
  SFVec3f sfVec3f{};
  MFColor mfColor{};
  MFFloat mfFloat{};
  MFInt32 mfInt32{};
  MFNode mfNode{};
  MFRotation mfRotation{};
  MFString mfString{};
  MFTime mfTime{};
  MFVec2f mfVec2f{};
  MFVec3f mfVec3f{};
  MFString url{};

 protected:
  ~CAllFieldsNode() override = default;
};

// "AllFields".
void RegisterAllFieldsNode(NodeClassTable& table);

// Helpers for building scenes in code.
inline void AddTopLevel(CBrowser& world, const CNodeRef& node) {
  MFNode added{1, const_cast<CNodeRef*>(&node)};
  world.GetRoot()->ReceiveEvent("addChildren", &added);
}

template <typename T>
inline void SetList(const CNodeRef& node, const char* field, std::initializer_list<T> elements) {
  const FieldType type = node->GetFieldType(field);
  MF<T> list{static_cast<int32_t>(elements.size()),
             static_cast<T*>(AllocFieldArray(type, static_cast<int32_t>(elements.size())))};
  int32_t i = 0;
  for (const T& element : elements) list[i++] = element;
  node->SetField(field, &list);
  FreeFieldValue(type, &list);
}

inline void SetString(const CNodeRef& node, const char* field, const char* text) {
  SFString value{};
  SetStringValue(value, text);
  node->SetField(field, &value);
}

inline void SetStrings(const CNodeRef& node, const char* field, std::initializer_list<const char*> texts) {
  MFString list{static_cast<int32_t>(texts.size()),
                static_cast<SFString*>(AllocFieldArray(FieldTypeMFString, static_cast<int32_t>(texts.size())))};
  int32_t i = 0;
  for (const char* text : texts) SetStringValue(list[i++], text);
  node->SetField(field, &list);
  FreeFieldValue(FieldTypeMFString, &list);
}

inline CAllFieldsNode& AllFields(const CNodeRef& ref) { return static_cast<CAllFieldsNode&>(*ref.GetNode()); }

}  // namespace vx::test
