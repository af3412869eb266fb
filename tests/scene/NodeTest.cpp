#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "engine/scene/GroupNode.h"
#include "tests/scene/TestNodes.h"

namespace vx {
namespace {

using test::CProbeNode;
using test::Probe;

CNodeRef MakeProbe(const char* defName = "") {
  CNodeRef ref = MakeNode<CProbeNode>();
  ref->SetDefName(defName);
  return ref;
}

MFNode NodeList(std::initializer_list<CNodeRef> nodes) {
  MFNode list{static_cast<int32_t>(nodes.size()),
              static_cast<CNodeRef*>(AllocFieldArray(FieldTypeMFNode, static_cast<int32_t>(nodes.size())))};
  int32_t i = 0;
  for (const CNodeRef& node : nodes) list[i++] = node;
  return list;
}

TEST(Node, RegisteringTheTableSetsEveryDeclaredDefault) {
  CNodeRef ref = MakeProbe();
  CProbeNode& probe = Probe(ref);
  EXPECT_EQ(probe.position.z, 3.0f);
  EXPECT_EQ(probe.fraction, 0.25f);
  EXPECT_EQ(probe.enabled, 1);
  EXPECT_STREQ(probe.label.text, "probe");
  ASSERT_EQ(probe.keys.count, 3);
  EXPECT_EQ(probe.keys[2], 1.0f);
  ASSERT_EQ(probe.names.count, 2);
  EXPECT_STREQ(probe.names[1].text, "ANY");
  EXPECT_EQ(probe.rotation.z, 1.0f);
  EXPECT_EQ(probe.GetFieldType("children"), FieldTypeMFNode);
  EXPECT_EQ(probe.GetFieldByName("fraction"), &probe.fraction);
  EXPECT_EQ(probe.GetEventInType("set_keys"), FieldTypeMFFloat);
  EXPECT_EQ(probe.GetEventOutType("keys_changed"), FieldTypeMFFloat);
  EXPECT_EQ(probe.GetEventOutType("poked"), FieldTypeSFFloat);
  EXPECT_EQ(probe.FindField("Fraction"), -1) << "names are case-sensitive";
  EXPECT_FALSE(probe.IsFieldSet(1)) << "defaults do not count as set";
}

TEST(Node, SetFieldStoresMarksAndSendsChangedAlongFieldAndEventOutRoutes) {
  CNodeRef source = MakeProbe(), first = MakeProbe(), second = MakeProbe();
  ASSERT_TRUE(source->AddRoute("fraction_changed", "set_fraction", first));
  ASSERT_TRUE(source->AddRoute("fraction_changed", "poke", second));
  const float value = 0.75f;
  source->SetField("fraction", &value);
  EXPECT_EQ(Probe(source).fraction, 0.75f);
  EXPECT_TRUE(source->IsFieldSet(1));
  EXPECT_EQ(Probe(first).fraction, 0.75f);
  ASSERT_EQ(Probe(first).received.size(), 1u);
  EXPECT_TRUE(Probe(first).received[0].isField);
  EXPECT_EQ(Probe(first).received[0].index, 1);
  ASSERT_EQ(Probe(second).received.size(), 1u);
  EXPECT_FALSE(Probe(second).received[0].isField) << "poke is a pure eventIn";
  EXPECT_EQ(Probe(second).fraction, 0.25f) << "a pure eventIn sets nothing";
  EXPECT_EQ(source->ReceiveEvent("set_nothing", &value), -1);
}

TEST(Node, ATakenListMovesInSendsChangedAndHandsBackTheOldList) {
  CNodeRef source = MakeProbe(), target = MakeProbe();
  ASSERT_TRUE(source->AddRoute("keys_changed", "set_keys", target));
  CFieldValue value(FieldTypeMFFloat);
  auto& list = value.As<MFFloat>();
  list.elements = static_cast<float*>(AllocFieldArray(FieldTypeMFFloat, 2));
  list.count = 2;
  list[0] = 4.0f;
  list[1] = 5.0f;
  const void* elements = list.elements;
  const int32_t oldCount = Probe(source).keys.count;

  ASSERT_TRUE(source->TryTakeField("keys", value.Data()));
  EXPECT_EQ(Probe(source).keys.elements, elements) << "moved, not copied";
  EXPECT_TRUE(source->IsFieldSet(source->FindField("keys")));
  EXPECT_EQ(list.count, oldCount) << "the caller frees the old list";
  ASSERT_EQ(Probe(target).keys.count, 2);
  EXPECT_EQ(Probe(target).keys[1], 5.0f);
  EXPECT_FALSE(source->TryTakeField("nothing", value.Data()));

  const float single = 0.5f;
  CFieldValue fraction(FieldTypeSFFloat);
  fraction.As<float>() = single;
  ASSERT_TRUE(source->TryTakeField("fraction", fraction.Data()));
  EXPECT_EQ(Probe(source).fraction, 0.5f) << "single values are copied";
}

// Names that come from files and hosts are refused; the node's own code
// naming what the node lacks is a fault that asserts.
TEST(Node, UnknownNamesAreRefusedFromInputAndAssertFromTheNodesOwnCode) {
  CNodeRef source = MakeProbe(), target = MakeProbe();
  ASSERT_TRUE(source->AddRoute("fraction_changed", "set_fraction", target));
  const float value = 0.75f;
  EXPECT_FALSE(source->TrySetField("nothing", &value));
  EXPECT_FALSE(source->TrySendEvent("nothing_changed", &value));
  EXPECT_FALSE(source->TrySendEvent("fraction", &value)) << "a field is sent as <name>_changed";
  EXPECT_FALSE(source->TrySendEvent("_changed", &value));
  EXPECT_TRUE(Probe(target).received.empty());
  EXPECT_EQ(Probe(source).fraction, 0.25f);

  EXPECT_TRUE(source->TrySendEvent("fraction_changed", &value));
  EXPECT_EQ(Probe(target).fraction, 0.75f) << "sent without storing";
  EXPECT_EQ(Probe(source).fraction, 0.25f);
  EXPECT_TRUE(source->TrySetField("enabled", &Probe(source).enabled));

  EXPECT_DEBUG_DEATH(source->SetField("Fraction", &value), "sets only fields the node has");
  EXPECT_DEBUG_DEATH(source->SendEvent("pokd", &value), "sends only eventOuts the node has");
}

TEST(Node, InterceptEventConsumesBeforeAnythingIsSet) {
  CNodeRef ref = MakeProbe();
  Probe(ref).interceptName = "set_fraction";
  const float value = 0.5f;
  EXPECT_EQ(ref->ReceiveEvent("set_fraction", &value), 1);
  EXPECT_EQ(Probe(ref).fraction, 0.25f);
  EXPECT_TRUE(Probe(ref).received.empty());
}

TEST(Node, AddRouteRefusesMismatchedTypesAndUnknownNamesAndKeepsOrder) {
  CNodeRef source = MakeProbe(), a = MakeProbe(), b = MakeProbe();
  EXPECT_FALSE(source->AddRoute("position_changed", "set_fraction", a));
  EXPECT_FALSE(source->AddRoute("nothing_changed", "set_nothing", a));
  EXPECT_FALSE(source->AddRoute("fraction_changed", "set_fraction", CNodeRef()));
  EXPECT_FALSE(source->AddRoute("fraction_changed", std::string(64, 'x'), a)) << "target names hold 63 characters";
  EXPECT_TRUE(source->GetRoutes(FieldKind::Field, 1).empty());

  // Each target records the value the other had when it was served.
  static std::vector<CNode*> order;
  order.clear();
  auto record = [](CProbeNode& node, bool, int, const void*) { order.push_back(&node); };
  Probe(a).onEvent = record;
  Probe(b).onEvent = record;
  ASSERT_TRUE(source->AddRoute("poked", "set_fraction", b));
  ASSERT_TRUE(source->AddRoute("poked", "set_fraction", a));
  const float value = 1.0f;
  source->SendEvent("poked", &value);
  EXPECT_EQ(order, (std::vector<CNode*>{b.GetNode(), a.GetNode()}));
}

TEST(Node, EventsToADeletedRouteTargetGoNowhere) {
  CNodeRef source = MakeProbe();
  CNodeRef target = MakeProbe();
  ASSERT_TRUE(source->AddRoute("fraction_changed", "set_fraction", target));
  CNodeWeakRef watch(target.GetNode());
  target.SetNode(nullptr);
  EXPECT_EQ(watch.Get(), nullptr) << "the ROUTE held no reference";
  const float value = 0.5f;
  source->SetField("fraction", &value);  // must not touch freed memory
  EXPECT_EQ(Probe(source).fraction, 0.5f);
}

TEST(Node, ARouteCycleEndsAfterEachFieldWasSetOnce) {
  CNodeRef a = MakeProbe(), b = MakeProbe();
  ASSERT_TRUE(a->AddRoute("fraction_changed", "set_fraction", b));
  ASSERT_TRUE(b->AddRoute("fraction_changed", "set_fraction", a));
  ASSERT_TRUE(a->AddRoute("keys_changed", "set_keys", a)) << "a field routed to itself";
  const float value = 0.9f;
  a->SetField("fraction", &value);
  EXPECT_EQ(Probe(b).fraction, 0.9f);
  EXPECT_EQ(Probe(b).received.size(), 1u);
  EXPECT_TRUE(Probe(a).received.empty()) << "the delivery back to a.fraction was cut";
  a->SetField("keys", &Probe(b).keys);
  EXPECT_EQ(Probe(a).keys.count, 3);

  // Once the first delivery is over, the field takes events again.
  const float later = 0.1f;
  EXPECT_EQ(b->ReceiveEvent("set_fraction", &later), 0);
  EXPECT_EQ(Probe(a).fraction, 0.1f);
}

TEST(Node, AnImageSentAlongARouteIsCopiedNotShared) {
  CNodeRef a = MakeProbe(), b = MakeProbe();
  ASSERT_TRUE(a->AddRoute("image_changed", "set_image", b));
  uint32_t pixels[] = {1, 2, 3, 4, 5, 6};
  const SFImage image{pixels, 3, 2, 4};
  a->SetField("image", &image);
  SFImage& first = Probe(a).image;
  SFImage& second = Probe(b).image;
  ASSERT_NE(first.pixels, nullptr);
  EXPECT_NE(first.pixels, pixels) << "the caller keeps its own block";
  EXPECT_NE(first.pixels, second.pixels) << "each node owns its block";
  EXPECT_TRUE(FieldValuesEqual(FieldTypeSFImage, &first, &second));
  EXPECT_EQ(second.pixels[5], 6u);
}

TEST(Node, MultipleNodeValuesCountTheirReferences) {
  CNodeRef parent = MakeProbe();
  CNodeRef grandchild = MakeProbe("leaf");
  CNodeWeakRef watchChild, watchLeaf(grandchild.GetNode());
  {
    CNodeRef child = MakeProbe("child");
    watchChild = CNodeWeakRef(child.GetNode());
    Probe(child).child = grandchild;
    MFNode list = NodeList({child, child});
    parent->SetField("children", &list);
    FreeFieldValue(FieldTypeMFNode, &list);
    EXPECT_EQ(child->GetRefCount(), 3);
  }
  grandchild.SetNode(nullptr);
  EXPECT_NE(watchLeaf.Get(), nullptr);
  EXPECT_EQ(parent->FindByDefName("leaf"), watchLeaf.Get());

  MFNode empty{};
  parent->SetField("children", &empty);
  EXPECT_EQ(watchChild.Get(), nullptr) << "the old elements were released";
  EXPECT_EQ(watchLeaf.Get(), nullptr) << "and with them their own children";
}

TEST(Node, FindByDefNameTakesTheFirstMatchInFieldOrder) {
  CNodeRef root = MakeProbe("root");
  CNodeRef inSingle = MakeProbe("twin"), inList = MakeProbe("twin");
  Probe(root).child = inSingle;
  MFNode list = NodeList({inList});
  root->SetField("children", &list);
  FreeFieldValue(FieldTypeMFNode, &list);
  EXPECT_EQ(root->FindByDefName("twin"), inSingle.GetNode());
  EXPECT_EQ(root->FindByDefName("root"), root.GetNode());
  EXPECT_EQ(root->FindByDefName("none"), nullptr);
}

TEST(Node, ANodeThatLosesItsLastReferenceWhileHandlingAnEventSurvivesTheCall) {
  CNodeRef group = MakeNode<CGroupNode>();
  CNodeRef sender = MakeProbe();
  CNodeRef victim = MakeProbe();
  MFNode list = NodeList({victim});
  group->ReceiveEvent("addChildren", &list);
  FreeFieldValue(FieldTypeMFNode, &list);
  ASSERT_TRUE(sender->AddRoute("poked", "set_fraction", victim));
  // The victim takes itself out of the only group that holds it.
  static CNode* theGroup;
  theGroup = group.GetNode();
  Probe(victim).onEvent = [](CProbeNode& node, bool, int, const void*) {
    CNodeRef self(&node);
    MFNode remove{1, &self};
    theGroup->ReceiveEvent("removeChildren", &remove);
  };
  CNodeWeakRef watch(victim.GetNode());
  victim.SetNode(nullptr);
  const float value = 0.5f;
  sender->SendEvent("poked", &value);
  EXPECT_EQ(watch.Get(), nullptr);
  EXPECT_EQ(static_cast<CGroupNode&>(*group.GetNode()).children.count, 0);
}

TEST(GroupNode, AddChildrenAppendsAndSendsRemoveChildrenTakesEveryOccurrenceSilently) {
  CNodeRef group = MakeNode<CGroupNode>();
  CNodeRef watcher = MakeProbe();
  ASSERT_TRUE(group->AddRoute("children_changed", "set_children", watcher));
  CNodeRef a = MakeProbe(), b = MakeProbe();
  MFNode list = NodeList({a, b, a});
  group->ReceiveEvent("addChildren", &list);
  auto& children = static_cast<CGroupNode&>(*group.GetNode()).children;
  ASSERT_EQ(children.count, 3);
  EXPECT_EQ(Probe(watcher).children.count, 3);
  EXPECT_TRUE(group->IsFieldSet(2));

  MFNode removeA = NodeList({a});
  const int32_t before = a->GetRefCount();
  group->ReceiveEvent("removeChildren", &removeA);
  ASSERT_EQ(children.count, 1);
  EXPECT_EQ(children[0].GetNode(), b.GetNode());
  EXPECT_EQ(Probe(watcher).children.count, 3) << "removeChildren sends no event";
  EXPECT_EQ(a->GetRefCount(), before - 2) << "both of the group's references were released";
  FreeFieldValue(FieldTypeMFNode, &list);
  FreeFieldValue(FieldTypeMFNode, &removeA);
}

TEST(FieldValue, CopyIsDeepCutsStringsAndToleratesAliasing) {
  CFieldValue names(FieldTypeMFString);
  auto& list = names.As<MFString>();
  list.elements = static_cast<SFString*>(AllocFieldArray(FieldTypeMFString, 2));
  list.count = 2;
  std::string longText(300, 'y');
  SetStringValue(list[0], longText.c_str());
  EXPECT_EQ(std::strlen(list[0].text), 255u);
  SetStringValue(list[1], "b");

  CFieldValue copy(FieldTypeMFString);
  CopyFieldValue(FieldTypeMFString, copy.Data(), names.Data());
  EXPECT_NE(copy.As<MFString>().elements, list.elements);
  EXPECT_TRUE(FieldValuesEqual(FieldTypeMFString, copy.Data(), names.Data()));
  CopyFieldValue(FieldTypeMFString, copy.Data(), copy.Data());
  EXPECT_TRUE(FieldValuesEqual(FieldTypeMFString, copy.Data(), names.Data()));
  SetStringValue(copy.As<MFString>()[1], "c");
  EXPECT_FALSE(FieldValuesEqual(FieldTypeMFString, copy.Data(), names.Data()));

  EXPECT_EQ(FieldTypeFromName("SFVec3f"), FieldTypeSFVec3f);
  EXPECT_EQ(FieldTypeFromName("SFBOOL"), FieldTypeNone);
  EXPECT_EQ(FieldTypeFromName("MFBool"), FieldTypeNone);
  EXPECT_EQ(FieldValueSize(FieldTypeMFNode), sizeof(MFValue));
}

}  // namespace
}  // namespace vx
