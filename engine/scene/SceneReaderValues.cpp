// The field value parser of the scene reader: one reader per single-valued
// type, and the list reader for multiple-valued types.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <unordered_set>
#include <utility>

#include "engine/scene/SceneLimits.h"
#include "engine/scene/SceneReader.h"

namespace vx {
namespace {

// The length of text without a UTF-8 character that its end cuts short.
size_t Utf8PrefixLength(std::string_view text) {
  size_t start = text.size();
  // Back over at most three continuation bytes to the byte that starts the
  // last character.
  while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start;
  if (start == 0) return text.size();
  const auto lead = static_cast<unsigned char>(text[start - 1]);
  const size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return text.size() - (start - 1) < needed ? start - 1 : text.size();
}

// The elements of a list of plain values while it is read: grown by
// doubling with realloc, which moves large blocks by remapping pages rather
// than copying them, and handed over trimmed to the exact size as the
// list's own array (freed with std::free like every field array).
class ElementBlock {
 public:
  ElementBlock() = default;
  ~ElementBlock() { std::free(data_); }
  ElementBlock(const ElementBlock&) = delete;
  ElementBlock& operator=(const ElementBlock&) = delete;

  // Room for one more element of the size, at the end.
  void* Append(size_t size) {
    if (capacity_ - used_ < size) Grow(size);
    void* slot = data_ + used_;
    used_ += size;
    return slot;
  }
  // The block trimmed to the elements; null when there are none.
  void* Release() {
    if (used_ == 0) return nullptr;
    void* trimmed = std::realloc(data_, used_);
    void* block = trimmed ? trimmed : data_;
    data_ = nullptr;
    used_ = capacity_ = 0;
    return block;
  }

 private:
  static constexpr size_t kFirstCapacity = 256;

  void Grow(size_t size) {
    const size_t capacity = std::max({capacity_ * 2, kFirstCapacity, used_ + size});
    void* grown = std::realloc(data_, capacity);
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<unsigned char*>(grown);
    capacity_ = capacity;
  }

  unsigned char* data_ = nullptr;
  size_t used_ = 0;
  size_t capacity_ = 0;
};

}  // namespace

bool CSceneReader::ReadFieldValue(CNode* node, std::string_view name, std::string_view typeName) {
  const FieldType type = node->GetFieldType(name);
  if (IsValidFieldType(type)) {
    // A value that fails part-way is freed here and never reaches the node.
    CFieldValue value(type);
    if (ReadValue(type, value.Data()) && StoreReadValue(node, name, type, value.Data())) return true;
  }
  return Fail("Error on field '%.*s' in %.*s node.", static_cast<int>(name.size()), name.data(),
              static_cast<int>(typeName.size()), typeName.data());
}

bool CSceneReader::StoreReadValue(CNode* node, std::string_view name, FieldType type, void* value) {
  if (type != FieldTypeSFNode && type != FieldTypeMFNode) return node->TryTakeField(name, value);
  const std::span<const CNodeRef> nodes = type == FieldTypeSFNode
                                              ? std::span<const CNodeRef>(static_cast<const CNodeRef*>(value), 1)
                                              : static_cast<const MFNode*>(value)->Span();
  // Collected before the value moves into the field.
  std::vector<const CNode*> stored;
  for (const CNodeRef& ref : nodes) {
    if (ref) stored.push_back(ref.GetNode());
  }
  // The read counts its levels itself.
  const CycleSuspects placedBefore{[](const CNode& held, void* placed) {
                                     return static_cast<std::unordered_set<const CNode*>*>(placed)->contains(&held);
                                   },
                                   &placed_, false};
  const bool taken = node->TryTakeField(name, value, placedBefore);
  if (taken) placed_.insert(stored.begin(), stored.end());
  return taken;
}

bool CSceneReader::ReadValue(FieldType type, void* value) {
  return IsMultiValued(type) ? ReadMultipleValue(type, value) : ReadElement(type, value);
}

bool CSceneReader::ReadFloats(float* out, int count) {
  for (int i = 0; i < count; ++i) {
    if (!stream_.ReadFloat(out[i])) return false;
  }
  return true;
}

bool CSceneReader::ReadElement(FieldType type, void* value) {
  switch (type) {
    case FieldTypeSFBool: return ReadSFBool(*static_cast<int16_t*>(value));
    case FieldTypeSFColor:
    case FieldTypeSFVec3f: return ReadFloats(static_cast<float*>(value), 3);
    case FieldTypeSFFloat: return ReadFloats(static_cast<float*>(value), 1);
    case FieldTypeSFImage: return ReadImage(*static_cast<SFImage*>(value));
    case FieldTypeSFInt32: return stream_.ReadInt32(*static_cast<int32_t*>(value));
    case FieldTypeSFNode: return ParseNode(*static_cast<CNodeRef*>(value));
    case FieldTypeSFRotation: return ReadFloats(static_cast<float*>(value), 4);
    case FieldTypeSFString: return ReadString(*static_cast<SFString*>(value));
    case FieldTypeSFTime: return stream_.ReadDouble(*static_cast<double*>(value));
    case FieldTypeSFVec2f: return ReadFloats(static_cast<float*>(value), 2);
    default: return false;
  }
}

bool CSceneReader::ReadMultipleValue(FieldType type, void* value) {
  const FieldType elementType = ElementTypeOf(type);
  const size_t elementSize = FieldElementSize(elementType);
  // Elements are collected here and copied once into an array of the exact
  // size. Nodes need a list of references of their own, since reading a node
  // reads further lists.
  std::vector<CNodeRef> nodes;
  ElementBlock bytes;
  int32_t count = 0;
  auto readOne = [&]() -> bool {
    if (count == INT32_MAX) return false;
    if (elementType == FieldTypeSFNode) {
      nodes.emplace_back();
      if (!ParseNode(nodes.back())) return false;
    } else if (!ReadElement(elementType, bytes.Append(elementSize))) {
      return false;
    }
    ++count;
    return true;
  };

  const size_t start = stream_.Tell();
  char c = 0;
  if (!ReadNonSpace(c)) return false;
  if (c != '[') {
    stream_.Seek(start);
    if (!readOne()) return false;
  } else {
    for (;;) {
      size_t at = 0;
      if (!ReadNonSpace(c, &at)) return false;
      if (c == ']') break;
      stream_.Seek(at);
      if (!readOne()) return false;
    }
  }

  auto& mf = *static_cast<MFValue*>(value);
  FreeFieldValue(type, value);
  if (elementType == FieldTypeSFNode) {
    mf.elements = AllocFieldArray(type, count);
    mf.count = mf.elements ? count : 0;
    for (int32_t i = 0; i < mf.count; ++i) static_cast<CNodeRef*>(mf.elements)[i] = std::move(nodes[static_cast<size_t>(i)]);
  } else {
    mf.elements = bytes.Release();
    mf.count = mf.elements ? count : 0;
  }
  return true;
}

bool CSceneReader::ReadSFBool(int16_t& out) {
  std::string word;
  if (!stream_.ReadWord(word, 4)) return false;
  if (word == "TRUE") {
    out = 1;
    return true;
  }
  char fifth = 0;
  if (!stream_.ReadChar(fifth)) return false;
  word.push_back(fifth);
  if (word != "FALSE") return false;
  out = 0;
  return true;
}

bool CSceneReader::ReadString(SFString& out) {
  char c = 0;
  if (!ReadNonSpace(c) || c != '"') return false;
  size_t length = 0;
  bool cut = false;
  // "\"" is a quote and "\\" a backslash of the text, as the writer writes
  // them. A backslash before any other character is kept, as in the Windows
  // paths of older files. Beyond 255 characters the text is cut.
  for (;;) {
    if (!stream_.ReadChar(c)) return false;
    if (c == '"') break;
    if (c == '\\') {
      const size_t afterBackslash = stream_.Tell();
      char next = 0;
      if (!stream_.ReadChar(next)) return false;
      if (next == '"' || next == '\\') {
        c = next;
      } else {
        stream_.Seek(afterBackslash);
      }
    }
    if (length < kMaxStringLength) {
      out.text[length++] = c;
    } else {
      cut = true;
    }
  }
  if (cut) length = Utf8PrefixLength(std::string_view(out.text, length));
  std::memset(out.text + length, 0, sizeof out.text - length);
  return true;
}

bool CSceneReader::ReadImage(SFImage& out) {
  int32_t width = 0, height = 0, components = 0;
  if (!stream_.ReadInt32(width) || !stream_.ReadInt32(height) || !stream_.ReadInt32(components)) return false;
  if (width < 0 || height < 0) return false;
  CFieldValue image(FieldTypeSFImage);
  SFImage& value = image.As<SFImage>();
  value.components = components;
  // An image with a side of 0 holds no pixels, however long its other side,
  // and has no rows to read.
  if (width == 0 || height == 0) {
    std::swap(out, value);
    return true;
  }
  // Sides beyond the picture limits, and sizes that the rest of the data
  // cannot hold (every pixel takes at least one digit and one separator), are
  // refused before anything is allocated.
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (width > kMaxImageSide || height > kMaxImageSide || pixels > static_cast<size_t>(kMaxImagePixels)) return false;
  if (stream_.IsInMemory() && pixels > stream_.Remaining() / 2 + 1) return false;
  value.pixels = static_cast<uint32_t*>(std::calloc(pixels, sizeof(uint32_t)));
  if (!value.pixels) return false;
  value.width = width;
  value.height = height;
  // The file lists the bottom row first; the block is stored top row first.
  for (int32_t row = height - 1; row >= 0; --row) {
    for (int32_t column = 0; column < width; ++column) {
      if (!stream_.ReadPixel(value.pixels[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column)])) {
        return false;
      }
    }
  }
  std::swap(out, value);
  return true;
}

}  // namespace vx
