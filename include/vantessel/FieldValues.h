/* Field type codes and the layouts of field values.
 *
 * These layouts are the engine's public value format: hosts read a live field
 * value through its address, and value blocks handed out by the engine use
 * them too. Field values always live in the node (or value block) that owns
 * them; pointers inside a value (MF element arrays, SFImage pixels) belong to
 * that owner. */
#ifndef VANTESSEL_FIELD_VALUES_H
#define VANTESSEL_FIELD_VALUES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum FieldType {
  FieldTypeNone = 0,
  FieldTypeSFBool = 1,
  FieldTypeSFColor = 2,
  FieldTypeSFFloat = 3,
  FieldTypeSFImage = 4,
  FieldTypeSFInt32 = 5,
  FieldTypeSFNode = 6,
  FieldTypeSFRotation = 7,
  FieldTypeSFString = 8,
  FieldTypeSFTime = 9,
  FieldTypeSFVec2f = 10,
  FieldTypeSFVec3f = 11,
  FieldTypeMFColor = 20,
  FieldTypeMFFloat = 21,
  FieldTypeMFInt32 = 22,
  FieldTypeMFNode = 23,
  FieldTypeMFRotation = 24,
  FieldTypeMFString = 25,
  FieldTypeMFTime = 26,
  FieldTypeMFVec2f = 27,
  FieldTypeMFVec3f = 28
} FieldType;

/* Codes from this one on are multiple-valued. */
#define VX_FIRST_MF_TYPE 20

/* Strings hold at most 255 characters and their terminator. */
#define VX_STRING_SIZE 256

typedef int16_t SFBool;
typedef float SFFloat;
typedef int32_t SFInt32;
typedef double SFTime;
typedef struct SFColor { float r, g, b; } SFColor;
typedef struct SFVec2f { float x, y; } SFVec2f;
typedef struct SFVec3f { float x, y, z; } SFVec3f;
typedef struct SFRotation { float x, y, z, angle; } SFRotation;
typedef struct SFString { char text[VX_STRING_SIZE]; } SFString;

/* One 32-bit word per pixel, top row first; the owner of the value owns the
 * pixel block. */
typedef struct SFImage {
  uint32_t* pixels;
  int32_t width;
  int32_t height;
  int32_t components;
} SFImage;

/* An SFNode value is exactly one node pointer (a counted reference inside the
 * engine). Hosts treat it as opaque. */
typedef struct SFNode { void* node; } SFNode;

/* Every multiple-valued field: a count and an element array; count 0 goes with
 * a null array. For MFNode the elements are SFNode values. */
typedef struct MFValue {
  int32_t count;
  void* elements;
} MFValue;

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(SFBool) == 2, "SFBool is 16-bit");
static_assert(sizeof(SFColor) == 12 && sizeof(SFVec3f) == 12, "3-float values");
static_assert(sizeof(SFRotation) == 16, "SFRotation is 4 floats");
static_assert(sizeof(SFString) == 256, "SFString is char[256]");
static_assert(sizeof(SFNode) == sizeof(void*), "SFNode is one pointer");
static_assert(offsetof(MFValue, elements) == sizeof(void*), "MF count then pointer");
static_assert(offsetof(SFImage, width) == sizeof(void*), "SFImage pixels then sizes");
#else
_Static_assert(sizeof(SFBool) == 2, "SFBool is 16-bit");
_Static_assert(sizeof(SFString) == 256, "SFString is char[256]");
_Static_assert(sizeof(SFNode) == sizeof(void*), "SFNode is one pointer");
#endif

#endif
