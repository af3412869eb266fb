#include "fuzz/PropertyFuzzEntries.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <vantessel/EngineResult.h>

#include "engine/scene/PropertyText.h"
#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneLimits.h"
#include "engine/scene/SceneReader.h"
#include "engine/world/Browser.h"
#include "engine/world/WorldLimits.h"

namespace vx::fuzz {
namespace {

// Every code a host can pass, the ones without text among them (up to the
// largest the type holds).
constexpr std::array<FieldType, 24> kTypes = {
    FieldTypeNone,     FieldTypeSFBool,     FieldTypeSFColor,  FieldTypeSFFloat,  FieldTypeSFImage,
    FieldTypeSFInt32,  FieldTypeSFNode,     FieldTypeSFRotation, FieldTypeSFString, FieldTypeSFTime,
    FieldTypeSFVec2f,  FieldTypeSFVec3f,    FieldTypeMFColor,  FieldTypeMFFloat,  FieldTypeMFInt32,
    FieldTypeMFNode,   FieldTypeMFRotation, FieldTypeMFString, FieldTypeMFTime,   FieldTypeMFVec2f,
    FieldTypeMFVec3f,  static_cast<FieldType>(12), static_cast<FieldType>(29), static_cast<FieldType>(31)};

constexpr std::string_view kWorld =
    "#VRML V2.0 utf8\n"
    "DEF Lamp PointLight { }\n"
    "DEF Ball Transform { children Shape { geometry Sphere { } } }\n";

CBrowser& World() {
  static CBrowser* world = [] {
    auto* made = new CBrowser();
    auto stream = CSceneInputStream::FromText(kWorld);
    CSceneReader reader(stream);
    (void)reader.ReadScene(&made->GetScene());
    return made;
  }();
  return *world;
}

// A value block read from text, freed when it goes.
struct ReadBlock {
  ReadBlock(const char* text, FieldType type) : type(type) {
    result = SetFieldValueFromText(text, type, &block, &World().GetScene(), nullptr);
  }
  ~ReadBlock() { FreeValueBlock(type, block); }
  ReadBlock(const ReadBlock&) = delete;
  ReadBlock& operator=(const ReadBlock&) = delete;

  FieldType type;
  void* block = nullptr;
  int16_t result = -1;
};

bool IsNodeType(FieldType type) { return type == FieldTypeSFNode || type == FieldTypeMFNode; }

// Text the engine wrote for a value of a type other than a node type reads
// back to a value that writes the same text.
bool ReadsBackToItself(const std::string& text, FieldType type) {
  if (IsNodeType(type) || type == FieldTypeSFImage || !IsValidFieldType(type)) return true;
  ReadBlock again(text.c_str(), type);
  if (again.result != kPropertyTextOk || !again.block) return false;
  return FieldValueToText(again.block, type) == text;
}

// The elements of a list text behind its count.
std::string_view ElementsOf(std::string_view text) {
  const size_t comma = text.find(',');
  return comma == std::string_view::npos ? std::string_view() : text.substr(comma);
}

// The whole text and the text in a caller's buffer of size bytes both read
// back; the buffer holds the whole text, or, for a list, whole elements from
// its front, or nothing.
bool WritesTextThatReadsBack(const void* value, FieldType type, size_t size) {
  const std::optional<std::string> whole = FieldValueToText(value, type);
  std::vector<char> out(size, '\x7f');
  const bool complete = FieldValueToText(value, type, out.data(), out.size());
  if (!whole) return complete;
  if (!ReadsBackToItself(*whole, type)) return false;
  const std::string shown(out.data());
  if (complete) return shown == *whole;
  if (shown.size() >= size) return false;
  if (!IsMultiValued(type)) return shown.empty();
  if (shown.empty()) return true;
  return ElementsOf(*whole).starts_with(ElementsOf(shown)) && ReadsBackToItself(shown, type);
}

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Left() const { return size_ - used_; }
  template <typename T>
  T Take() {
    T value{};
    const size_t n = std::min(sizeof value, Left());
    std::memcpy(&value, data_ + used_, n);
    used_ += n;
    return value;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

// Fields hold finite numbers only: the reader refuses any other.
template <typename T>
T Finite(T value) {
  return std::isfinite(value) ? value : T{};
}

// A string of up to 255 characters; in a list, without the separators of the
// text (',', blanks) that no list element can hold.
void FillString(SFString& value, ByteReader& bytes, bool listElement) {
  const size_t length = std::min<size_t>(bytes.Take<uint8_t>(), std::min(kMaxStringLength, bytes.Left()));
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    char c = static_cast<char>(bytes.Take<uint8_t>());
    if (c == '\0' || (listElement && (c == ',' || c == ' ' || c == '\t'))) c = '_';
    text += c;
  }
  SetStringValue(value, text.c_str());
}

void FillElement(FieldType type, void* element, ByteReader& bytes, bool listElement) {
  switch (type) {
    case FieldTypeSFBool: *static_cast<int16_t*>(element) = bytes.Take<uint8_t>() & 1; break;
    case FieldTypeSFInt32: *static_cast<int32_t*>(element) = bytes.Take<int32_t>(); break;
    case FieldTypeSFTime: *static_cast<double*>(element) = Finite(bytes.Take<double>()); break;
    case FieldTypeSFString: FillString(*static_cast<SFString*>(element), bytes, listElement); break;
    default: {
      auto* floats = static_cast<float*>(element);
      for (size_t i = 0; i < FieldElementSize(type) / sizeof(float); ++i) floats[i] = Finite(bytes.Take<float>());
    }
  }
}

// The value types that text can carry both ways.
constexpr std::array<FieldType, 17> kRoundTripTypes = {
    FieldTypeSFBool,   FieldTypeSFColor, FieldTypeSFFloat, FieldTypeSFInt32,    FieldTypeSFRotation,
    FieldTypeSFString, FieldTypeSFTime,  FieldTypeSFVec2f, FieldTypeSFVec3f,    FieldTypeMFColor,
    FieldTypeMFFloat,  FieldTypeMFInt32, FieldTypeMFRotation, FieldTypeMFString, FieldTypeMFTime,
    FieldTypeMFVec2f,  FieldTypeMFVec3f};

// A list made from the bytes has one element per eight bytes left, at most
// this many.
constexpr size_t kMaxFuzzListCount = 512;

}  // namespace

bool ReadPropertyText(const uint8_t* data, size_t size) {
  if (size == 0) return true;
  const FieldType type = kTypes[data[0] % kTypes.size()];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  // The engine takes the text as a C string.
  ReadBlock value(text.c_str(), type);
  if (!value.block) return true;
  return WritesTextThatReadsBack(value.block, type, kCommandBufferSize) &&
         WritesTextThatReadsBack(value.block, type, VX_TEXT_BUFFER_SIZE);
}

bool RoundTripPropertyValue(const uint8_t* data, size_t size) {
  if (size < 2) return true;
  const FieldType type = kRoundTripTypes[data[0] % kRoundTripTypes.size()];
  const size_t bufferSize = static_cast<size_t>(data[1]) + 1;
  ByteReader bytes(data + 2, size - 2);
  std::vector<std::max_align_t> storage(FieldValueSize(type) / sizeof(std::max_align_t) + 1);
  void* value = storage.data();
  InitFieldValue(type, value);
  if (IsMultiValued(type)) {
    auto& list = *static_cast<MFValue*>(value);
    const int32_t count = static_cast<int32_t>(std::min<size_t>(bytes.Left() / 8 + 1, kMaxFuzzListCount));
    list.elements = AllocFieldArray(type, count);
    list.count = count;
    const FieldType elementType = ElementTypeOf(type);
    for (int32_t i = 0; i < count; ++i) {
      void* element = static_cast<char*>(list.elements) + static_cast<size_t>(i) * FieldElementSize(elementType);
      FillElement(elementType, element, bytes, true);
    }
  } else {
    FillElement(type, value, bytes, false);
  }
  const bool readsBack = WritesTextThatReadsBack(value, type, bufferSize);
  FreeFieldValue(type, value);
  return readsBack;
}

}  // namespace vx::fuzz
