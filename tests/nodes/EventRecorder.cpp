#include "EventRecorder.h"

#include <gtest/gtest.h>

namespace vx::test {
namespace {

constexpr FieldSpec kRecorderFields[] = {
    Field<&CEventRecorder::vec3>("vec3"),       Field<&CEventRecorder::rotation>("rotation"),
    Field<&CEventRecorder::color>("color"),     Field<&CEventRecorder::number>("number"),
    Field<&CEventRecorder::vectors>("vectors"), Field<&CEventRecorder::flag>("flag"),
    Field<&CEventRecorder::keys>("keys"),       Field<&CEventRecorder::time>("time"),       Field<&CEventRecorder::cycle>("cycle"),
    Field<&CEventRecorder::point>("point"),     Field<&CEventRecorder::vec2>("vec2"),
    Field<&CEventRecorder::integer>("integer"), Field<&CEventRecorder::otherInteger>("otherInteger"),
    Field<&CEventRecorder::otherFlag>("otherFlag"),
};
constexpr FieldTable kRecorderTable{Section(kRecorderFields), {}, {}};

}  // namespace

CEventRecorder::CEventRecorder() { RegisterFields(kRecorderTable); }

int CEventRecorder::OnEventIn(bool isField, int index, const void*) {
  if (isField) log.emplace_back(kRecorderFields[index].name);
  return 0;
}

CNodeRef RecordInto(CNode& source, std::string_view eventOut, std::string_view field) {
  CNodeRef recorder = MakeNode<CEventRecorder>();
  EXPECT_TRUE(source.AddRouteToNode(eventOut, field, recorder.Get()));
  return recorder;
}

}  // namespace vx::test
