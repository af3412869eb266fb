// Three behaviours that compute with event values: "math" (arithmetic and
// random values of the Script's fields in1 and in2), "logic" (a boolean gate
// of the field in1 and each in2 event) and "compare" (each in2 event compared
// with the field in1). Each checks the declared types first and answers
// through the eventOut result.
#pragma once

namespace vx {

class BehaviourTable;

void RegisterValueBehaviours(BehaviourTable& table);

}  // namespace vx
