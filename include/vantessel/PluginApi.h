/* The browser plug-in interface: the records and function tables through
 * which a web browser and the plug-in module NPVXLN32.so call each other.
 *
 * The browser loads the module, hands it its own table (NP_Initialize) and
 * asks for the plug-in's (NP_GetEntryPoints). Each embedded object is an
 * instance: the browser owns the NPP record and its window record; the
 * plug-in keeps what it needs in NPP.pdata, allocated with NPN_MemAlloc and
 * given back with NPN_MemFree. Strings the browser passes belong to the
 * browser and live for the call only. Everything runs on the browser's
 * window thread. */
#ifndef VANTESSEL_PLUGIN_API_H
#define VANTESSEL_PLUGIN_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int16_t NPError;
typedef int16_t NPReason;
typedef uint8_t NPBool;
typedef char* NPMIMEType;

/* Results of the entry points and handlers. */
enum {
  NPErrorNone = 0,
  NPErrorInvalidInstance = 2,
  NPErrorInvalidFunctionTable = 3,
  NPErrorOutOfMemory = 5,
  NPErrorIncompatibleVersion = 8
};

/* The version the plug-in's table reports, and the browser table versions it
 * knows: the major in the high byte must be 0; from minor 9 on the browser
 * calls back when a requested URL is done. */
#define VX_NP_PLUGIN_TABLE_VERSION 9
#define VX_NP_MAX_BROWSER_VERSION 255
#define VX_NP_MIN_NOTIFY_VERSION 9

/* How the object is embedded (NPP_New's mode). */
enum { NPModeEmbedded = 1, NPModeFullPage = 2 };

/* How a stream reaches the plug-in: as a local file the browser saved. */
enum { NPStreamAsFileOnly = 3 };

/* One embedded object. */
typedef struct NPInstanceRecord {
  void* pdata; /* the plug-in's */
  void* ndata; /* the browser's */
} NPInstanceRecord;
typedef NPInstanceRecord* NPP;

/* Where the object is shown: a platform window (0: none) and its size. */
typedef struct NPWindow {
  uintptr_t window;
  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
} NPWindow;

typedef struct NPStream {
  void* pdata;
  void* ndata;
  const char* url; /* where the data came from */
  uint32_t end;    /* its length, 0 when unknown */
} NPStream;

typedef struct NPSavedData {
  int32_t len;
  void* buf;
} NPSavedData;

typedef struct NPPrint {
  uint16_t mode;        /* NPModeEmbedded or NPModeFullPage */
  NPBool pluginPrinted; /* full page: whether the plug-in printed it all */
} NPPrint;

/* The plug-in's handlers, as filled by NP_GetEntryPoints. */
typedef NPError (*NPP_NewFn)(NPMIMEType type, NPP instance, uint16_t mode, int16_t argc, char* argn[], char* argv[],
                             NPSavedData* saved);
typedef NPError (*NPP_DestroyFn)(NPP instance, NPSavedData** save);
typedef NPError (*NPP_SetWindowFn)(NPP instance, NPWindow* window);
typedef NPError (*NPP_NewStreamFn)(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                                   uint16_t* streamType);
typedef NPError (*NPP_DestroyStreamFn)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPP_StreamAsFileFn)(NPP instance, NPStream* stream, const char* fileName);
typedef int32_t (*NPP_WriteReadyFn)(NPP instance, NPStream* stream);
typedef int32_t (*NPP_WriteFn)(NPP instance, NPStream* stream, int32_t offset, int32_t length, void* buffer);
typedef void (*NPP_PrintFn)(NPP instance, NPPrint* print);
typedef int16_t (*NPP_HandleEventFn)(NPP instance, void* event);
typedef void (*NPP_URLNotifyFn)(NPP instance, const char* url, NPReason reason, void* notifyData);

typedef struct NPPluginFuncs {
  uint16_t size;
  uint16_t version;
  NPP_NewFn newp;
  NPP_DestroyFn destroy;
  NPP_SetWindowFn setwindow;
  NPP_NewStreamFn newstream;
  NPP_DestroyStreamFn destroystream;
  NPP_StreamAsFileFn asfile;
  NPP_WriteReadyFn writeready;
  NPP_WriteFn write;
  NPP_PrintFn print;
  NPP_HandleEventFn event;
  NPP_URLNotifyFn urlnotify;
  void* javaClass;
} NPPluginFuncs;

/* The browser's services the plug-in calls. */
typedef NPError (*NPN_GetURLFn)(NPP instance, const char* url, const char* target);
typedef void (*NPN_StatusFn)(NPP instance, const char* message);
typedef void* (*NPN_MemAllocFn)(uint32_t size);
typedef void (*NPN_MemFreeFn)(void* pointer);

typedef struct NPNetscapeFuncs {
  uint16_t size;
  uint16_t version; /* major in the high byte, minor in the low byte */
  NPN_GetURLFn geturl;
  NPN_StatusFn status;
  NPN_MemAllocFn memalloc;
  NPN_MemFreeFn memfree;
} NPNetscapeFuncs;

/* The module's exports, by name. */
#define VX_NP_GET_ENTRY_POINTS "NP_GetEntryPoints"
#define VX_NP_INITIALIZE "NP_Initialize"
#define VX_NP_SHUTDOWN "NP_Shutdown"
#define VX_NP_GET_MIME_DESCRIPTION "NP_GetMIMEDescription"

typedef NPError (*NP_GetEntryPointsFn)(NPPluginFuncs* table);
typedef NPError (*NP_InitializeFn)(NPNetscapeFuncs* table);
typedef NPError (*NP_ShutdownFn)(void);
/* "type:extensions:description", the types the module shows. */
typedef const char* (*NP_GetMIMEDescriptionFn)(void);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(NPInstanceRecord) == 2 * sizeof(void*), "NPP is {pdata, ndata}");
static_assert(offsetof(NPPluginFuncs, newp) == sizeof(void*), "size and version, then the handlers");
static_assert(offsetof(NPNetscapeFuncs, geturl) == sizeof(void*), "size and version, then the services");
static_assert(offsetof(NPWindow, x) == sizeof(void*), "the window first, pointer-sized");
#else
_Static_assert(sizeof(NPInstanceRecord) == 2 * sizeof(void*), "NPP is {pdata, ndata}");
_Static_assert(offsetof(NPPluginFuncs, newp) == sizeof(void*), "size and version, then the handlers");
_Static_assert(offsetof(NPNetscapeFuncs, geturl) == sizeof(void*), "size and version, then the services");
_Static_assert(offsetof(NPWindow, x) == sizeof(void*), "the window first, pointer-sized");
#endif

#endif
