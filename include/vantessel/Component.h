/* The component protocol between a host and its component libraries.
 *
 * A component is a named table of function slots with a version. The host's
 * component manager owns every ComponentRecord; libraries see it only as an
 * opaque pointer that they fill through the host table. The host table is the
 * slot table of the built-in component "ComponentManager": VxHostSlotCount
 * function pointers, in the order of the VxHostSlot constants.
 *
 * A component library exports builders as the C symbols "VxExport1",
 * "VxExport2", ... (see Export.h). The host calls each with a VxBuilderArgs
 * that it owns for the duration of the call; the builder defines one
 * component through the table and returns 0. */
#ifndef VANTESSEL_COMPONENT_H
#define VANTESSEL_COMPONENT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ComponentRecord ComponentRecord;
typedef struct ComponentHandle ComponentHandle;

/* Every slot holds a plain function; callers cast it to the slot's signature. */
typedef void (*VxSlotFunction)(void);

enum VxHostSlot {
  VxHostGetSlotByHandle = 0,
  VxHostGetSlotByName = 1,
  VxHostDefineComponent = 2,
  VxHostSetSlotCount = 3,
  VxHostSetSlot = 4,
  VxHostAcquireHandle = 5,
  VxHostReleaseHandle = 6,
  VxHostSlotCount = 7
};

/* Signatures of the host table's slots, in slot order. */
typedef VxSlotFunction (*VxGetSlotByHandleFn)(ComponentHandle* handle, int32_t slot);
typedef VxSlotFunction (*VxGetSlotByNameFn)(const char* name, int32_t slot);
typedef int32_t (*VxDefineComponentFn)(ComponentRecord* record, const char* name, int32_t value);
typedef int32_t (*VxSetSlotCountFn)(ComponentRecord* record, int16_t count, int32_t extra,
                                    int16_t major, int16_t minor);
typedef int32_t (*VxSetSlotFn)(ComponentRecord* record, int16_t index, VxSlotFunction fn);
typedef ComponentHandle* (*VxAcquireHandleFn)(const char* name);
typedef void (*VxReleaseHandleFn)(ComponentHandle* handle);

/* What a library builder receives: the host table and the record to fill. */
typedef struct VxBuilderArgs {
  const VxSlotFunction* table; /* VxHostSlotCount entries */
  ComponentRecord* record;
} VxBuilderArgs;

typedef int32_t (*VxComponentBuilder)(VxBuilderArgs* args);

/* The host's built-in components, by name. */
#define VX_COMPONENT_MANAGER_NAME "ComponentManager"
#define VX_COMPRESSION_NAME "Compression"

/* "Compression", version 1.0: gzip files in place. Both return 0 on success
 * and 1 on failure; on failure the file given is left as it was. */
enum VxCompressionSlot {
  VxCompressionCompressFile = 0,   /* path -> path + ".gz", the source removed */
  VxCompressionDecompressFile = 1, /* "x.gz" -> "x", the ".gz" file removed */
  VxCompressionSlotCount = 2
};

typedef int32_t (*VxCompressFileFn)(const char* path);
typedef int32_t (*VxDecompressFileFn)(const char* path);

#ifdef __cplusplus
}
#endif

#endif
