#include "engine/scene/FieldValue.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/scene/Node.h"
#include "engine/scene/SceneLimits.h"

namespace vx {
namespace {

struct TypeInfo {
  FieldType type;
  const char* name;
  size_t size;  // of the value, or of one element for MF types
};

constexpr TypeInfo kTypes[] = {
    {FieldTypeSFBool, "SFBool", sizeof(int16_t)},      {FieldTypeSFColor, "SFColor", sizeof(SFColor)},
    {FieldTypeSFFloat, "SFFloat", sizeof(float)},      {FieldTypeSFImage, "SFImage", sizeof(SFImage)},
    {FieldTypeSFInt32, "SFInt32", sizeof(int32_t)},    {FieldTypeSFNode, "SFNode", sizeof(CNodeRef)},
    {FieldTypeSFRotation, "SFRotation", sizeof(SFRotation)}, {FieldTypeSFString, "SFString", sizeof(SFString)},
    {FieldTypeSFTime, "SFTime", sizeof(double)},       {FieldTypeSFVec2f, "SFVec2f", sizeof(SFVec2f)},
    {FieldTypeSFVec3f, "SFVec3f", sizeof(SFVec3f)},    {FieldTypeMFColor, "MFColor", sizeof(SFColor)},
    {FieldTypeMFFloat, "MFFloat", sizeof(float)},      {FieldTypeMFInt32, "MFInt32", sizeof(int32_t)},
    {FieldTypeMFNode, "MFNode", sizeof(CNodeRef)},     {FieldTypeMFRotation, "MFRotation", sizeof(SFRotation)},
    {FieldTypeMFString, "MFString", sizeof(SFString)}, {FieldTypeMFTime, "MFTime", sizeof(double)},
    {FieldTypeMFVec2f, "MFVec2f", sizeof(SFVec2f)},    {FieldTypeMFVec3f, "MFVec3f", sizeof(SFVec3f)},
};

const TypeInfo* InfoOf(FieldType type) {
  for (const TypeInfo& info : kTypes) {
    if (info.type == type) return &info;
  }
  return nullptr;
}

size_t PixelCount(const SFImage& image) {
  if (!image.pixels || image.width <= 0 || image.height <= 0) return 0;
  return static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

void CopyImage(SFImage& destination, const SFImage& source) {
  SFImage copy{nullptr, source.width, source.height, source.components};
  if (size_t count = PixelCount(source)) {
    copy.pixels = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    if (!copy.pixels) throw std::bad_alloc();
    std::memcpy(copy.pixels, source.pixels, count * sizeof(uint32_t));
  }
  std::free(destination.pixels);
  destination = copy;
}

// Copies count elements of an SF type between arrays that do not overlap.
void CopyElements(FieldType elementType, void* to, const void* from, int32_t count) {
  const size_t size = FieldElementSize(elementType);
  for (int32_t i = 0; i < count; ++i) {
    void* d = static_cast<char*>(to) + static_cast<size_t>(i) * size;
    const void* s = static_cast<const char*>(from) + static_cast<size_t>(i) * size;
    if (elementType == FieldTypeSFNode) {
      static_cast<CNodeRef*>(d)->Assign(*static_cast<const CNodeRef*>(s));
    } else if (elementType == FieldTypeSFString) {
      SetStringValue(*static_cast<SFString*>(d), static_cast<const SFString*>(s)->text);
    } else {
      std::memcpy(d, s, size);
    }
  }
}

bool StringsEqual(const SFString& a, const SFString& b) {
  return std::strncmp(a.text, b.text, sizeof a.text) == 0;
}

}  // namespace

bool IsValidFieldType(FieldType type) { return InfoOf(type) != nullptr; }

bool IsMultiValued(FieldType type) { return type >= VX_FIRST_MF_TYPE && IsValidFieldType(type); }

FieldType ElementTypeOf(FieldType type) {
  switch (type) {
    case FieldTypeMFColor: return FieldTypeSFColor;
    case FieldTypeMFFloat: return FieldTypeSFFloat;
    case FieldTypeMFInt32: return FieldTypeSFInt32;
    case FieldTypeMFNode: return FieldTypeSFNode;
    case FieldTypeMFRotation: return FieldTypeSFRotation;
    case FieldTypeMFString: return FieldTypeSFString;
    case FieldTypeMFTime: return FieldTypeSFTime;
    case FieldTypeMFVec2f: return FieldTypeSFVec2f;
    case FieldTypeMFVec3f: return FieldTypeSFVec3f;
    default: return type;
  }
}

size_t FieldValueSize(FieldType type) {
  if (IsMultiValued(type)) return sizeof(MFValue);
  const TypeInfo* info = InfoOf(type);
  return info ? info->size : 0;
}

size_t FieldElementSize(FieldType type) {
  const TypeInfo* info = InfoOf(type);
  return info ? info->size : 0;
}

FieldType FieldTypeFromName(const char* name) {
  for (const TypeInfo& info : kTypes) {
    if (std::strcmp(info.name, name) == 0) return info.type;
  }
  return FieldTypeNone;
}

const char* FieldTypeName(FieldType type) {
  const TypeInfo* info = InfoOf(type);
  return info ? info->name : "";
}

void* AllocFieldArray(FieldType type, int32_t count) {
  if (count <= 0 || !IsMultiValued(type)) return nullptr;
  void* elements = std::calloc(static_cast<size_t>(count), FieldElementSize(type));
  if (!elements) throw std::bad_alloc();
  if (type == FieldTypeMFNode) {
    for (int32_t i = 0; i < count; ++i) new (static_cast<CNodeRef*>(elements) + i) CNodeRef();
  }
  return elements;
}

void FreeFieldArray(FieldType type, void* elements, int32_t count) {
  if (!elements) return;
  if (type == FieldTypeMFNode) {
    for (int32_t i = 0; i < count; ++i) static_cast<CNodeRef*>(elements)[i].~CNodeRef();
  }
  std::free(elements);
}

void InitFieldValue(FieldType type, void* value) {
  std::memset(value, 0, FieldValueSize(type));
  if (type == FieldTypeSFNode) new (value) CNodeRef();
}

void FreeFieldValue(FieldType type, void* value) {
  if (IsMultiValued(type)) {
    auto& mf = *static_cast<MFValue*>(value);
    // Detached first: releasing a node may run code that reads this value.
    MFValue old = mf;
    mf = MFValue{0, nullptr};
    FreeFieldArray(type, old.elements, old.count);
  } else if (type == FieldTypeSFImage) {
    auto& image = *static_cast<SFImage*>(value);
    std::free(image.pixels);
    image = SFImage{nullptr, 0, 0, 0};
  } else if (type == FieldTypeSFNode) {
    static_cast<CNodeRef*>(value)->SetNode(nullptr);
  }
}

void CopyFieldValue(FieldType type, void* destination, const void* source) {
  if (destination == source) return;
  if (IsMultiValued(type)) {
    const auto& from = *static_cast<const MFValue*>(source);
    const int32_t count = from.elements ? from.count : 0;
    void* elements = AllocFieldArray(type, count);
    CopyElements(ElementTypeOf(type), elements, from.elements, count);
    FreeFieldValue(type, destination);
    *static_cast<MFValue*>(destination) = MFValue{elements ? count : 0, elements};
  } else if (type == FieldTypeSFImage) {
    CopyImage(*static_cast<SFImage*>(destination), *static_cast<const SFImage*>(source));
  } else if (IsValidFieldType(type)) {
    CopyElements(type, destination, source, 1);
  }
}

bool FieldValuesEqual(FieldType type, const void* a, const void* b) {
  if (IsMultiValued(type)) {
    const auto& x = *static_cast<const MFValue*>(a);
    const auto& y = *static_cast<const MFValue*>(b);
    if (x.count != y.count) return false;
    const FieldType element = ElementTypeOf(type);
    const size_t size = FieldElementSize(element);
    for (int32_t i = 0; i < x.count; ++i) {
      if (!FieldValuesEqual(element, static_cast<const char*>(x.elements) + static_cast<size_t>(i) * size,
                            static_cast<const char*>(y.elements) + static_cast<size_t>(i) * size)) {
        return false;
      }
    }
    return true;
  }
  switch (type) {
    case FieldTypeSFNode: return static_cast<const CNodeRef*>(a)->GetNode() == static_cast<const CNodeRef*>(b)->GetNode();
    case FieldTypeSFString: return StringsEqual(*static_cast<const SFString*>(a), *static_cast<const SFString*>(b));
    case FieldTypeSFImage: {
      const auto& x = *static_cast<const SFImage*>(a);
      const auto& y = *static_cast<const SFImage*>(b);
      const size_t count = PixelCount(x);
      return x.width == y.width && x.height == y.height && x.components == y.components && count == PixelCount(y) &&
             (count == 0 || std::memcmp(x.pixels, y.pixels, count * sizeof(uint32_t)) == 0);
    }
    default: return IsValidFieldType(type) && std::memcmp(a, b, FieldValueSize(type)) == 0;
  }
}

void SetStringValue(SFString& value, const char* text) {
  if (text == value.text) return;
  size_t length = text ? strnlen(text, kMaxStringLength) : 0;
  std::memmove(value.text, text ? text : "", length);
  std::memset(value.text + length, 0, sizeof value.text - length);
}

CFieldValue::CFieldValue(FieldType type) : type_(type) {
  assert(FieldValueSize(type) <= sizeof storage_ && "a known field type");
  InitFieldValue(type, storage_);
}

CFieldValue::~CFieldValue() { FreeFieldValue(type_, storage_); }

}  // namespace vx
