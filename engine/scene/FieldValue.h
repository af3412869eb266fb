// Field values in the engine's public layouts, and the one set of helpers that
// copies, frees and compares them.
//
// A node keeps each field value inside itself in the layout of
// include/vantessel/FieldValues.h: hosts read live values through their
// address. Node classes declare their members with the C++ types below, whose
// layouts are exactly those records:
//
//   SFBool   int16_t (0 or 1)     SFInt32  int32_t      SFFloat  float
//   SFTime   double               SFColor, SFVec2f, SFVec3f, SFRotation, SFString
//   SFImage  {pixels, width, height, components}, pixels owned by the value
//   SFNode   CNodeRef (exactly one pointer)
//   MFxxx    MF<element>: {int32 count; element* elements}, count 0 with null
//
// Element arrays and SFImage pixel blocks come from malloc and are owned by
// the value that points to them. Code that handles values of a type known
// only at run time goes through the helpers here and never copies or frees
// the owned parts itself; CFieldValue holds one temporary value of any type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include <vantessel/FieldValues.h>

namespace vx {

class CNodeRef;

// A multiple-valued field: the MFValue record with typed elements.
template <typename T>
struct MF {
  int32_t count = 0;
  T* elements = nullptr;

  std::span<T> Span() const { return {elements, static_cast<size_t>(count > 0 ? count : 0)}; }
  T& operator[](int32_t index) const { return elements[index]; }
};

static_assert(sizeof(MF<float>) == sizeof(MFValue) && offsetof(MF<float>, elements) == offsetof(MFValue, elements),
              "MF<T> has the layout of MFValue");

using MFColor = MF<SFColor>;
using MFFloat = MF<float>;
using MFInt32 = MF<int32_t>;
using MFNode = MF<CNodeRef>;
using MFRotation = MF<SFRotation>;
using MFString = MF<SFString>;
using MFTime = MF<double>;
using MFVec2f = MF<SFVec2f>;
using MFVec3f = MF<SFVec3f>;

// The FieldType of a member type; only the value types above have one.
template <typename T> struct FieldTypeOf;
template <> struct FieldTypeOf<int16_t> { static constexpr FieldType value = FieldTypeSFBool; };
template <> struct FieldTypeOf<SFColor> { static constexpr FieldType value = FieldTypeSFColor; };
template <> struct FieldTypeOf<float> { static constexpr FieldType value = FieldTypeSFFloat; };
template <> struct FieldTypeOf<SFImage> { static constexpr FieldType value = FieldTypeSFImage; };
template <> struct FieldTypeOf<int32_t> { static constexpr FieldType value = FieldTypeSFInt32; };
template <> struct FieldTypeOf<CNodeRef> { static constexpr FieldType value = FieldTypeSFNode; };
template <> struct FieldTypeOf<SFRotation> { static constexpr FieldType value = FieldTypeSFRotation; };
template <> struct FieldTypeOf<SFString> { static constexpr FieldType value = FieldTypeSFString; };
template <> struct FieldTypeOf<double> { static constexpr FieldType value = FieldTypeSFTime; };
template <> struct FieldTypeOf<SFVec2f> { static constexpr FieldType value = FieldTypeSFVec2f; };
template <> struct FieldTypeOf<SFVec3f> { static constexpr FieldType value = FieldTypeSFVec3f; };
template <> struct FieldTypeOf<MFColor> { static constexpr FieldType value = FieldTypeMFColor; };
template <> struct FieldTypeOf<MFFloat> { static constexpr FieldType value = FieldTypeMFFloat; };
template <> struct FieldTypeOf<MFInt32> { static constexpr FieldType value = FieldTypeMFInt32; };
template <> struct FieldTypeOf<MFNode> { static constexpr FieldType value = FieldTypeMFNode; };
template <> struct FieldTypeOf<MFRotation> { static constexpr FieldType value = FieldTypeMFRotation; };
template <> struct FieldTypeOf<MFString> { static constexpr FieldType value = FieldTypeMFString; };
template <> struct FieldTypeOf<MFTime> { static constexpr FieldType value = FieldTypeMFTime; };
template <> struct FieldTypeOf<MFVec2f> { static constexpr FieldType value = FieldTypeMFVec2f; };
template <> struct FieldTypeOf<MFVec3f> { static constexpr FieldType value = FieldTypeMFVec3f; };

// Codes 1-11 and 20-28.
bool IsValidFieldType(FieldType type);
bool IsMultiValued(FieldType type);
// The single-valued type of an MF type's elements (MFColor -> SFColor); an SF
// type gives itself.
FieldType ElementTypeOf(FieldType type);
// Bytes of the value record (an MF record for MF types); 0 for invalid codes.
size_t FieldValueSize(FieldType type);
// Bytes of one element of an MF type.
size_t FieldElementSize(FieldType type);

// The type code of an exact, case-sensitive type name ("SFBool" ... "MFVec3f");
// FieldTypeNone for anything else. FieldTypeName gives the name of a code.
FieldType FieldTypeFromName(const char* name);
const char* FieldTypeName(FieldType type);

// count empty elements of an MF type (null for 0 or an invalid type), and
// their release (MFNode elements are released one by one).
void* AllocFieldArray(FieldType type, int32_t count);
void FreeFieldArray(FieldType type, void* elements, int32_t count);

// Makes an empty value in raw storage of FieldValueSize bytes: zero, a null
// reference for SFNode.
void InitFieldValue(FieldType type, void* value);
// Frees what the value owns and leaves it empty.
void FreeFieldValue(FieldType type, void* value);
// Deep copy into an initialised value, which first gives up what it owned.
// Strings are cut to 255 characters; SFImage pixels and MF arrays are copied,
// MFNode and SFNode take new references. The source may be the destination.
void CopyFieldValue(FieldType type, void* destination, const void* source);
// Equal values: elements compared one by one, nodes by identity, strings by
// text, images by size, components and pixels.
bool FieldValuesEqual(FieldType type, const void* a, const void* b);

// Copies text into a string value, cut to 255 characters.
void SetStringValue(SFString& value, const char* text);
// The text of a string value, which ends at its buffer even without a
// terminator.
inline std::string_view TextOf(const SFString& value) { return {value.text, strnlen(value.text, sizeof value.text)}; }

// One owned value of any type: the reader's and the engine interface's
// temporary. It frees what it owns when it goes.
class CFieldValue {
 public:
  explicit CFieldValue(FieldType type);
  ~CFieldValue();
  CFieldValue(const CFieldValue&) = delete;
  CFieldValue& operator=(const CFieldValue&) = delete;

  FieldType Type() const { return type_; }
  void* Data() { return storage_; }
  const void* Data() const { return storage_; }
  template <typename T>
  T& As() {
    return *reinterpret_cast<T*>(storage_);
  }
  void Clear() { FreeFieldValue(type_, storage_); }

 private:
  FieldType type_;
  alignas(std::max_align_t) unsigned char storage_[sizeof(SFString)];
};

}  // namespace vx
