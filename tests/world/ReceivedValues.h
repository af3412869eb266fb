// What a recording Script ("record:") received, copied whole while the call
// lasts (the recorder's value pointer is valid only then), and view services
// that hold camera flags and a typed character for the behaviours that use
// them.
#pragma once

#include <string>
#include <vector>

#include "ScriptTestSupport.h"

namespace vx::test {

struct ReceivedValue {
  std::string eventIn;
  std::vector<double> numbers;       // the components of a number, vector, colour or rotation
  std::vector<std::string> strings;  // the elements of an MFString
};

// Records every call of the world's recorder while it lives (one at a time).
class ReceivedValues {
 public:
  explicit ReceivedValues(ScriptWorld& world) {
    current_ = this;
    world.onCall = &Copy;
  }
  ~ReceivedValues() { current_ = nullptr; }
  ReceivedValues(const ReceivedValues&) = delete;
  ReceivedValues& operator=(const ReceivedValues&) = delete;

  std::vector<ReceivedValue> To(const std::string& eventIn) const {
    std::vector<ReceivedValue> found;
    for (const ReceivedValue& value : all)
      if (value.eventIn == eventIn) found.push_back(value);
    return found;
  }

  std::vector<ReceivedValue> all;

 private:
  static void Copy(ScriptWorld&, const ScriptCall& call) {
    ReceivedValue value{call.eventIn, {}, {}};
    const auto floats = [&](int count) {
      for (int i = 0; i < count; ++i) value.numbers.push_back(static_cast<const float*>(call.value)[i]);
    };
    switch (call.type) {
      case FieldTypeSFBool: value.numbers.push_back(*static_cast<const int16_t*>(call.value)); break;
      case FieldTypeSFInt32: value.numbers.push_back(*static_cast<const int32_t*>(call.value)); break;
      case FieldTypeSFTime: value.numbers.push_back(*static_cast<const double*>(call.value)); break;
      case FieldTypeSFFloat: floats(1); break;
      case FieldTypeSFVec2f: floats(2); break;
      case FieldTypeSFVec3f:
      case FieldTypeSFColor: floats(3); break;
      case FieldTypeSFRotation: floats(4); break;
      case FieldTypeMFString:
        for (const SFString& text : static_cast<const MFString*>(call.value)->Span())
          value.strings.emplace_back(TextOf(text));
        break;
      default: break;
    }
    current_->all.push_back(std::move(value));
  }

  static inline ReceivedValues* current_ = nullptr;
};

// Headless view services with the camera flags of a view and a character
// typed into it.
class CInputServices : public CCursorServices {
 public:
  using CCursorServices::CCursorServices;
  CameraFlags* GetCameraFlags() override { return &flags; }
  TypedKey GetTypedKey() const override { return key; }
  // A key the host gives, pending until Release.
  void Type(uint8_t character) { key = {character, key.serial + 1}; }
  void Release() { key.character = 0xFF; }

  CameraFlags flags;
  TypedKey key;
};

}  // namespace vx::test
