#include "engine/world/behaviours/ValueBehaviours.h"

#include <array>
#include <climits>
#include <cmath>
#include <optional>
#include <string_view>

#include "engine/world/behaviours/BehaviourLimits.h"
#include "engine/world/behaviours/BehaviourSupport.h"
#include "engine/world/behaviours/BehaviourTable.h"
#include "engine/world/nodes/ScriptNode.h"
#include "platform/Random.h"

namespace vx {
namespace {

// The word of a selector field; empty when it is not declared.
std::string_view Word(CScriptNode& node, std::string_view field) {
  const SFString* value = FieldOf<SFString>(&node, field);
  return value ? TextOf(*value) : std::string_view();
}

// ---- math ----

enum class Operation { kAdd, kSubtract, kMultiply, kDivide, kRandom };

std::optional<Operation> OperationOf(std::string_view word) {
  if (word == "ADD") return Operation::kAdd;
  if (word == "SUBTRACT") return Operation::kSubtract;
  if (word == "MULTIPLY") return Operation::kMultiply;
  if (word == "DIVIDE") return Operation::kDivide;
  if (word == "RAND") return Operation::kRandom;
  return std::nullopt;
}

// 0 <= r <= 1 from the engine's 15-bit generator.
double RandomFraction() { return Random() * kRandomScale; }

// Floating-point arithmetic: division by zero gives the IEEE result.
template <typename C>
C Combine(Operation operation, C a, C b, double r) {
  switch (operation) {
    case Operation::kAdd: return a + b;
    case Operation::kSubtract: return a - b;
    case Operation::kMultiply: return a * b;
    case Operation::kDivide: return a / b;
    case Operation::kRandom: break;
  }
  return static_cast<C>(a + (b - a) * r);
}

// Integer arithmetic wraps as 32-bit machine arithmetic does. Division by
// zero and INT_MIN / -1 have no result, nor does a random value outside the
// 32-bit range.
std::optional<int32_t> CombineIntegers(Operation operation, int32_t a, int32_t b) {
  const int64_t wideA = a;
  const int64_t wideB = b;
  switch (operation) {
    case Operation::kAdd: return static_cast<int32_t>(wideA + wideB);
    case Operation::kSubtract: return static_cast<int32_t>(wideA - wideB);
    case Operation::kMultiply: return static_cast<int32_t>(wideA * wideB);
    case Operation::kDivide:
      if (b == 0 || (a == INT32_MIN && b == -1)) return std::nullopt;
      return a / b;
    case Operation::kRandom: break;
  }
  const int64_t value = wideA + static_cast<int64_t>(std::trunc(RandomFraction() * static_cast<double>(wideB + 1 - wideA)));
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::array<float, 2> ComponentsOf(const SFVec2f& v) { return {v.x, v.y}; }
std::array<float, 3> ComponentsOf(const SFVec3f& v) { return {v.x, v.y, v.z}; }
SFVec2f VectorOf(const std::array<float, 2>& c) { return {c[0], c[1]}; }
SFVec3f VectorOf(const std::array<float, 3>& c) { return {c[0], c[1], c[2]}; }

// Vectors add, subtract and take one random point between in1 and in2.
template <typename V>
std::optional<V> CombineVectors(Operation operation, const V& a, const V& b) {
  if (operation == Operation::kMultiply || operation == Operation::kDivide) return std::nullopt;
  const double r = operation == Operation::kRandom ? RandomFraction() : 0.0;
  auto result = ComponentsOf(a);
  const auto right = ComponentsOf(b);
  for (size_t i = 0; i < result.size(); ++i) result[i] = Combine(operation, result[i], right[i], r);
  return VectorOf(result);
}

SFColor CombineColors(Operation operation, const SFColor& a, const SFColor& b) {
  // A separate random number for each of red, green and blue.
  const float red = Combine(operation, a.r, b.r, RandomFraction());
  const float green = Combine(operation, a.g, b.g, RandomFraction());
  const float blue = Combine(operation, a.b, b.b, RandomFraction());
  return {red, green, blue};
}

// Only rotations about the same axis combine; the result keeps in1's axis.
std::optional<SFRotation> CombineRotations(Operation operation, const SFRotation& a, const SFRotation& b) {
  if (a.x != b.x || a.y != b.y || a.z != b.z) return std::nullopt;
  const double r = operation == Operation::kRandom ? RandomFraction() : 0.0;
  return SFRotation{a.x, a.y, a.z, Combine(operation, a.angle, b.angle, r)};
}

template <typename T>
void SendResult(CScriptNode& node, const std::optional<T>& result) {
  if (result) SendTyped(node, "result", *result);
}

class CMathBehaviour : public CBehaviour {
 public:
  void OnEventIn(const ScriptEvent& event, CScriptNode& node) override {
    if (event.name != "evaluate" || !IsTrueEvent(event)) return;
    const std::optional<Operation> operation = OperationOf(Word(node, "operation"));
    if (!operation) return;
    const FieldType type = node.GetFieldType("in1");
    if (node.GetFieldType("in2") != type || SentEventType(node, "result") != type) return;
    switch (type) {
      case FieldTypeSFFloat: return Evaluate<float>(node, *operation);
      case FieldTypeSFTime: return Evaluate<double>(node, *operation);
      case FieldTypeSFInt32: {
        SendResult(node, CombineIntegers(*operation, *In<int32_t>(node, "in1"), *In<int32_t>(node, "in2")));
        return;
      }
      case FieldTypeSFColor:
        SendTyped(node, "result", CombineColors(*operation, *In<SFColor>(node, "in1"), *In<SFColor>(node, "in2")));
        return;
      case FieldTypeSFRotation:
        SendResult(node, CombineRotations(*operation, *In<SFRotation>(node, "in1"), *In<SFRotation>(node, "in2")));
        return;
      case FieldTypeSFVec2f:
        SendResult(node, CombineVectors(*operation, *In<SFVec2f>(node, "in1"), *In<SFVec2f>(node, "in2")));
        return;
      case FieldTypeSFVec3f:
        SendResult(node, CombineVectors(*operation, *In<SFVec3f>(node, "in1"), *In<SFVec3f>(node, "in2")));
        return;
      default: return;
    }
  }

 private:
  // The operand; its type was checked.
  template <typename T>
  static const T* In(CScriptNode& node, std::string_view name) {
    return FieldOf<T>(&node, name);
  }
  template <typename T>
  static void Evaluate(CScriptNode& node, Operation operation) {
    const double r = operation == Operation::kRandom ? RandomFraction() : 0.0;
    SendTyped(node, "result", Combine(operation, *In<T>(node, "in1"), *In<T>(node, "in2"), r));
  }
};

// ---- logic ----

class CLogicBehaviour : public CBehaviour {
 public:
  void OnEventIn(const ScriptEvent& event, CScriptNode& node) override {
    if (event.name != "in2") return;
    const int16_t* in1 = FieldOf<int16_t>(&node, "in1");
    const int16_t* in2 = event.As<int16_t>();
    const std::string_view gate = Word(node, "gate");
    if (!in1 || !in2 || SentEventType(node, "result") != FieldTypeSFBool || gate.empty()) return;
    const bool a = *in1 != 0;
    const bool b = *in2 != 0;
    bool result;
    if (gate == "AND") {
      result = a && b;
    } else if (gate == "OR") {
      result = a || b;
    } else if (gate == "NOT") {
      result = !a;
    } else if (gate == "XOR") {
      result = a != b;
    } else {
      return;
    }
    SendTyped(node, "result", int16_t{result});
  }
};

// ---- compare ----

enum class Comparison { kEqual, kNotEqual, kGreater, kLess, kGreaterOrEqual, kLessOrEqual, kUnknown };

Comparison ComparisonOf(std::string_view word) {
  if (word == "EQUAL_TO") return Comparison::kEqual;
  if (word == "NOT_EQUAL_TO") return Comparison::kNotEqual;
  if (word == "GREATER_THAN") return Comparison::kGreater;
  if (word == "LESS_THAN") return Comparison::kLess;
  if (word == "GREATER_THAN_EQUAL_TO") return Comparison::kGreaterOrEqual;
  if (word == "LESS_THAN_EQUAL_TO") return Comparison::kLessOrEqual;
  return Comparison::kUnknown;
}

bool WithinTolerance(double in1, double in2) { return in2 > in1 - kValueTolerance && in2 < in1 + kValueTolerance; }

// in2 compared with in1; equality within the tolerance for floating-point
// values, exact for integers.
bool CompareNumbers(Comparison comparison, double in1, double in2, bool tolerant) {
  switch (comparison) {
    case Comparison::kEqual: return tolerant ? WithinTolerance(in1, in2) : in2 == in1;
    case Comparison::kNotEqual: return tolerant ? !WithinTolerance(in1, in2) : in2 != in1;
    case Comparison::kGreater: return in2 > in1;
    case Comparison::kLess: return in2 < in1;
    case Comparison::kGreaterOrEqual: return in2 >= in1;
    case Comparison::kLessOrEqual: return in2 <= in1;
    case Comparison::kUnknown: break;
  }
  return false;
}

// Vectors compare one named component, or with no component name: equal
// when any component is within the tolerance, not equal when any is outside
// it; they have no order.
bool CompareVectors(Comparison comparison, std::span<const float> in1, std::span<const float> in2,
                    std::string_view component) {
  if (!component.empty()) {
    static constexpr std::array<std::string_view, 3> kNames = {"X", "Y", "Z"};
    for (size_t i = 0; i < in1.size(); ++i)
      if (component == kNames[i]) return CompareNumbers(comparison, in1[i], in2[i], true);
    return false;
  }
  bool anyWithin = false;
  bool anyOutside = false;
  for (size_t i = 0; i < in1.size(); ++i) (WithinTolerance(in1[i], in2[i]) ? anyWithin : anyOutside) = true;
  if (comparison == Comparison::kEqual) return anyWithin;
  if (comparison == Comparison::kNotEqual) return anyOutside;
  return false;
}

class CCompareBehaviour : public CBehaviour {
 public:
  void OnEventIn(const ScriptEvent& event, CScriptNode& node) override {
    if (event.name != "in2") return;
    const FieldType type = node.GetFieldType("in1");
    const std::string_view word = Word(node, "comparison");
    if (type == FieldTypeNone || event.type != type || !event.value || SentEventType(node, "result") != FieldTypeSFBool ||
        word.empty())
      return;
    const std::optional<bool> result = Compare(type, ComparisonOf(word), node.GetFieldByName("in1"), event.value,
                                               Word(node, "component"));
    if (result) SendTyped(node, "result", int16_t{*result});
  }

 private:
  template <typename T>
  static const T& As(const void* value) {
    return *static_cast<const T*>(value);
  }

  // Nothing for the types that do not compare.
  static std::optional<bool> Compare(FieldType type, Comparison comparison, const void* in1, const void* in2,
                                     std::string_view component) {
    switch (type) {
      case FieldTypeSFBool: {
        const bool same = (As<int16_t>(in1) != 0) == (As<int16_t>(in2) != 0);
        if (comparison == Comparison::kEqual) return same;
        if (comparison == Comparison::kNotEqual) return !same;
        return false;
      }
      case FieldTypeSFInt32: return CompareNumbers(comparison, As<int32_t>(in1), As<int32_t>(in2), false);
      case FieldTypeSFFloat: return CompareNumbers(comparison, As<float>(in1), As<float>(in2), true);
      case FieldTypeSFTime: return CompareNumbers(comparison, As<double>(in1), As<double>(in2), true);
      case FieldTypeSFRotation:
        return CompareNumbers(comparison, As<SFRotation>(in1).angle, As<SFRotation>(in2).angle, true);
      case FieldTypeSFVec2f:
        return CompareVectors(comparison, ComponentsOf(As<SFVec2f>(in1)), ComponentsOf(As<SFVec2f>(in2)), component);
      case FieldTypeSFVec3f:
        return CompareVectors(comparison, ComponentsOf(As<SFVec3f>(in1)), ComponentsOf(As<SFVec3f>(in2)), component);
      default: return std::nullopt;
    }
  }
};

}  // namespace

void RegisterValueBehaviours(BehaviourTable& table) {
  table.Add<CMathBehaviour>("math", BehaviourStart::kAtOnce);
  table.Add<CLogicBehaviour>("logic", BehaviourStart::kAtOnce);
  table.Add<CCompareBehaviour>("compare", BehaviourStart::kAtOnce);
}

}  // namespace vx
