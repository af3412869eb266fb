// Single field values as short comma-separated text, the form in which the
// engine interface and the remote command link exchange them with the
// programs that drive the engine. It differs from the scene file syntax:
// numbers are separated by commas, a list starts with its element count, and
// booleans are numbers.
//
//   SFBool "1"    SFVec3f "1.00,2.50,-3.00"    SFFloat "0.500"    SFTime "2.00"
//   SFRotation "0.00,1.00,0.00,1.571"    MFNode elements: DEF names
//   SFNode "Lamp", "[Sphere]" for a node without a DEF name, "NULL" for none
//   MFFloat "2,0.500,1.000"    an empty list "0"
//   MFString "3,two words,\"a, b\","    strings end at commas only; a quoted
//     one may hold commas, and the count must match the strings
//
// Text arrives from the network, so reading it is bounded and strict: a count
// that is negative or above kMaxPropertyListCount, a word longer than its
// slot, a number that is not finite in its type, a missing word (a list with
// fewer elements than its count), and a word that is not wholly a number
// where one is wanted are refused without a value; nothing is read as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/scene/NodeFactory.h"

namespace vx {

class CScene;
class CViewContext;

// Results of SetFieldValueFromText.
enum PropertyTextResult : int16_t {
  kPropertyTextOk = 0,
  kPropertyTextRefused = 2,       // a bad count, word or number; no value is made
  kPropertyTextNodeNotFound = 4,  // an MFNode element names no node; the value made so far is kept
};

// The text of a value; nullopt for the codes that have none (12 to 19 and
// above 28). Code 0 (no such field) gives "Error - Can't get that property".
std::optional<std::string> FieldValueToText(const void* value, FieldType type);
// The same in at most room characters. Text is cut only between whole list
// elements, and the count in front then says how many are kept, so that what
// is cut still reads back as the elements it shows; a single value that does
// not fit gives an empty text. cut tells whether anything was left out.
std::optional<std::string> FieldValueToText(const void* value, FieldType type, size_t room, bool& cut);
// The same into a caller's buffer of size bytes, always terminated; a code
// without text leaves it unchanged. False when the text was cut to fit.
[[nodiscard]] bool FieldValueToText(const void* value, FieldType type, char* out, size_t size);

// Reads text into a new value block of the type's layout, allocated with
// malloc, whose address goes to *outValue (null when nothing is made: SFImage,
// codes without a value, refused text). The caller frees it with
// FreeValueBlock, or a host that holds no nodes in it with free. MFNode words
// are DEF names of the scene's nodes, or "name:Type" (or "name.Type") for a
// new node of that type named name; every element node is activated with the
// view. SFNode text is the type name of a new node (refused when no node type
// has that name).
[[nodiscard]] int16_t SetFieldValueFromText(const char* text, FieldType type, void** outValue, CScene* scene,
                                            CViewContext* view,
                                            const NodeClassTable& classes = StandardNodeClasses());
void FreeValueBlock(FieldType type, void* block);

// The word up to the first ',' or blank (leading blanks skipped) and what
// follows that one separator; rest is empty when the text ends with the word.
struct CommaSplit {
  std::string_view word;
  std::string_view rest;
};
CommaSplit SplitCommaWord(std::string_view text);

// "Lamp.on" or "Lamp:on" -> name "Lamp", rest "on", separated. Without a '.'
// or ':' the whole text is the name and separated is false.
struct NodeFieldSplit {
  std::string_view name;
  std::string_view rest;
  bool separated = false;
};
NodeFieldSplit SplitNodeField(std::string_view text);

// Same length and the same characters, letters A-Z compared without case.
bool StrEqualNoCase(std::string_view a, std::string_view b);

}  // namespace vx
