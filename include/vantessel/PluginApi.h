/* The browser plug-in interface in its Unix form: the records and function
 * tables through which a web browser and the plug-in module NPVXLN32.so call
 * each other, laid out as the published interface (version 0.26) lays them
 * out on 64-bit Linux.
 *
 * The browser loads the module, asks it for its name and description
 * (NP_GetValue) and its types (NP_GetMIMEDescription), then hands it its own
 * table and an empty one that the plug-in fills (NP_Initialize). Both tables
 * belong to the browser, which says in `size` how large each one is: the
 * plug-in reads and writes no member past it. Each embedded object is an
 * instance: the browser owns the NPP record and its window record; the
 * plug-in keeps what it needs in NPP.pdata, allocated with NPN_MemAlloc and
 * given back with NPN_MemFree. Strings the browser passes belong to the
 * browser and live for the call only; the name, description and types the
 * plug-in hands out are its own and live as long as the module. Everything
 * runs on the browser's window thread.
 *
 * Only the services and handlers this plug-in uses have their signatures
 * here; every other slot of the tables keeps its published name and place,
 * typed NPUntypedFn, so that the members after it stay where browsers put
 * them. */
#ifndef VANTESSEL_PLUGIN_API_H
#define VANTESSEL_PLUGIN_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int16_t NPError;
typedef int16_t NPReason;
/* Why a stream ended. */
enum { NPReasonDone = 0, NPReasonNetworkError = 1, NPReasonUserBreak = 2 };
typedef uint8_t NPBool;
typedef char* NPMIMEType;
/* What NP_GetValue and NPP_GetValue are asked for, and what NPP_SetValue is
 * told (int-sized enumerations in the published form). */
typedef int32_t NPPVariable;
typedef int32_t NPNVariable;
/* A table slot whose signature this project does not use. */
typedef void (*NPUntypedFn)(void);

/* Results of the entry points and handlers. */
enum {
  NPErrorNone = 0,
  NPErrorGeneric = 1,
  NPErrorInvalidInstance = 2,
  NPErrorInvalidFunctionTable = 3,
  NPErrorOutOfMemory = 5,
  NPErrorIncompatibleVersion = 8,
  NPErrorInvalidParam = 9
};

/* The interface version whose layout these tables follow (0.26), which a
 * browser of that version puts in its table. The version the plug-in's table
 * reports, and the browser table versions it knows: the major in the high
 * byte must be 0; from minor 9 on the browser calls back when a requested URL
 * is done. */
#define VX_NP_INTERFACE_VERSION 26
#define VX_NP_PLUGIN_TABLE_VERSION 9
#define VX_NP_MAX_BROWSER_VERSION 255
#define VX_NP_MIN_NOTIFY_VERSION 9

/* The plug-in's values a browser asks for, and what the plug-in tells the
 * browser with NPN_SetValue: NPPVpluginWindowBool with the value false (the
 * pointer itself is the value) asks to be windowless, drawing into the
 * browser's drawable when the browser sends an expose event. */
enum { NPPVpluginNameString = 1, NPPVpluginDescriptionString = 2, NPPVpluginWindowBool = 3 };

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

typedef struct NPRect {
  uint16_t top;
  uint16_t left;
  uint16_t bottom;
  uint16_t right;
} NPRect;

/* What NPWindow.window is: an X window, or a drawable the plug-in draws into
 * when asked (a windowless plug-in). */
typedef int32_t NPWindowType;
enum { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

/* Where the object is shown: the X window id (0: none) as a pointer, its
 * place on the page and size, the part of it that is visible, and the X
 * environment (an NPSetWindowCallbackStruct, the browser's). */
typedef struct NPWindow {
  void* window;
  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
  NPRect clipRect;
  void* ws_info;
  NPWindowType type;
} NPWindow;

/* NPWindow.ws_info: the X display connection, visual, colour map and depth
 * of the browser's window (Xlib's Display*, Visual* and Colormap). */
enum { NPSetWindowCallbackType = 1 };
typedef struct NPSetWindowCallbackStruct {
  int32_t type; /* NPSetWindowCallbackType */
  void* display;
  void* visual;
  unsigned long colormap;
  uint32_t depth;
} NPSetWindowCallbackStruct;

typedef struct NPStream {
  void* pdata;
  void* ndata;
  const char* url;     /* where the data came from */
  uint32_t end;        /* its length, 0 when unknown */
  uint32_t lastmodified;
  void* notifyData;
  const char* headers; /* the response's headers, null when none */
} NPStream;

typedef struct NPSavedData {
  int32_t len;
  void* buf;
} NPSavedData;

typedef struct NPFullPrint {
  NPBool pluginPrinted; /* whether the plug-in printed the whole page */
  NPBool printOne;
  void* platformPrint;
} NPFullPrint;

typedef struct NPEmbedPrint {
  NPWindow window;
  void* platformPrint;
} NPEmbedPrint;

typedef struct NPPrint {
  uint16_t mode; /* NPModeEmbedded or NPModeFullPage, which member holds */
  union {
    NPFullPrint fullPrint;
    NPEmbedPrint embedPrint;
  } print;
} NPPrint;

/* The plug-in's handlers, which NP_Initialize puts in the browser's table. */
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
/* event: an XEvent; the result says whether the plug-in took it. */
typedef int16_t (*NPP_HandleEventFn)(NPP instance, void* event);
typedef void (*NPP_URLNotifyFn)(NPP instance, const char* url, NPReason reason, void* notifyData);
typedef NPError (*NPP_GetValueFn)(NPP instance, NPPVariable variable, void* value);
typedef NPError (*NPP_SetValueFn)(NPP instance, NPNVariable variable, void* value);

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
  NPP_GetValueFn getvalue;
  NPP_SetValueFn setvalue;
  NPUntypedFn gotfocus;
  NPUntypedFn lostfocus;
  NPUntypedFn urlredirectnotify;
} NPPluginFuncs;

/* The browser's services the plug-in calls. */
typedef NPError (*NPN_GetURLFn)(NPP instance, const char* url, const char* target);
typedef void (*NPN_StatusFn)(NPP instance, const char* message);
typedef void* (*NPN_MemAllocFn)(uint32_t size);
typedef void (*NPN_MemFreeFn)(void* pointer);
typedef NPError (*NPN_GetValueFn)(NPP instance, NPNVariable variable, void* value);
typedef NPError (*NPN_SetValueFn)(NPP instance, NPPVariable variable, void* value);
/* A windowless instance asks for an expose event of this part of it. */
typedef void (*NPN_InvalidateRectFn)(NPP instance, NPRect* rect);

typedef struct NPNetscapeFuncs {
  uint16_t size;
  uint16_t version; /* major in the high byte, minor in the low byte */
  NPN_GetURLFn geturl;
  NPUntypedFn posturl;
  NPUntypedFn requestread;
  NPUntypedFn newstream;
  NPUntypedFn write;
  NPUntypedFn destroystream;
  NPN_StatusFn status;
  NPUntypedFn uagent;
  NPN_MemAllocFn memalloc;
  NPN_MemFreeFn memfree;
  NPUntypedFn memflush;
  NPUntypedFn reloadplugins;
  NPUntypedFn getJavaEnv;
  NPUntypedFn getJavaPeer;
  NPUntypedFn geturlnotify;
  NPUntypedFn posturlnotify;
  NPN_GetValueFn getvalue;
  NPN_SetValueFn setvalue;
  NPN_InvalidateRectFn invalidaterect;
  NPUntypedFn invalidateregion;
  NPUntypedFn forceredraw;
  NPUntypedFn getstringidentifier;
  NPUntypedFn getstringidentifiers;
  NPUntypedFn getintidentifier;
  NPUntypedFn identifierisstring;
  NPUntypedFn utf8fromidentifier;
  NPUntypedFn intfromidentifier;
  NPUntypedFn createobject;
  NPUntypedFn retainobject;
  NPUntypedFn releaseobject;
  NPUntypedFn invoke;
  NPUntypedFn invokeDefault;
  NPUntypedFn evaluate;
  NPUntypedFn getproperty;
  NPUntypedFn setproperty;
  NPUntypedFn removeproperty;
  NPUntypedFn hasproperty;
  NPUntypedFn hasmethod;
  NPUntypedFn releasevariantvalue;
  NPUntypedFn setexception;
  NPUntypedFn pushpopupsenabledstate;
  NPUntypedFn poppopupsenabledstate;
  NPUntypedFn enumerate;
  NPUntypedFn pluginthreadasynccall;
  NPUntypedFn construct;
  NPUntypedFn getvalueforurl;
  NPUntypedFn setvalueforurl;
  NPUntypedFn getauthenticationinfo;
  NPUntypedFn scheduletimer;
  NPUntypedFn unscheduletimer;
  NPUntypedFn popupcontextmenu;
  NPUntypedFn convertpoint;
  NPUntypedFn handleevent;
  NPUntypedFn unfocusinstance;
  NPUntypedFn urlredirectresponse;
} NPNetscapeFuncs;

/* The services of a browser table of VX_NP_INTERFACE_VERSION. */
#define VX_NP_BROWSER_SLOT_COUNT 55

/* The module's exports, by name: nothing else is exported. */
#define VX_NP_GET_VALUE "NP_GetValue"
#define VX_NP_GET_MIME_DESCRIPTION "NP_GetMIMEDescription"
#define VX_NP_INITIALIZE "NP_Initialize"
#define VX_NP_SHUTDOWN "NP_Shutdown"

/* The plug-in's name or description (NPPVpluginNameString,
 * NPPVpluginDescriptionString) into *(const char**)value; future is unused. */
typedef NPError (*NP_GetValueFn)(void* future, NPPVariable variable, void* value);
/* "type:extensions:description", the types the module shows. */
typedef const char* (*NP_GetMIMEDescriptionFn)(void);
/* Keeps the browser's table and fills the plug-in's. */
typedef NPError (*NP_InitializeFn)(NPNetscapeFuncs* browser, NPPluginFuncs* plugin);
typedef NPError (*NP_ShutdownFn)(void);

#ifdef __cplusplus
}
#endif

/* The published layouts, member by member. */
#ifdef __cplusplus
#define VX_NP_LAYOUT(condition, what) static_assert(condition, what)
#else
#define VX_NP_LAYOUT(condition, what) _Static_assert(condition, what)
#endif

VX_NP_LAYOUT(sizeof(void*) == 8, "the layouts of 64-bit Linux");
VX_NP_LAYOUT(sizeof(NPInstanceRecord) == 16, "NPP is {pdata, ndata}");
VX_NP_LAYOUT(sizeof(NPRect) == 8, "NPRect is four 16-bit values");
VX_NP_LAYOUT(offsetof(NPWindow, x) == 8 && offsetof(NPWindow, width) == 16, "the window, then its place and size");
VX_NP_LAYOUT(offsetof(NPWindow, clipRect) == 24 && offsetof(NPWindow, ws_info) == 32, "the clip, then ws_info");
VX_NP_LAYOUT(offsetof(NPWindow, type) == 40 && sizeof(NPWindow) == 48, "the type last");
VX_NP_LAYOUT(offsetof(NPSetWindowCallbackStruct, display) == 8 && offsetof(NPSetWindowCallbackStruct, colormap) == 24,
             "type, display, visual, colormap");
VX_NP_LAYOUT(offsetof(NPSetWindowCallbackStruct, depth) == 32 && sizeof(NPSetWindowCallbackStruct) == 40, "depth");
VX_NP_LAYOUT(offsetof(NPStream, url) == 16 && offsetof(NPStream, end) == 24, "pdata, ndata, url, end");
VX_NP_LAYOUT(offsetof(NPStream, notifyData) == 32 && offsetof(NPStream, headers) == 40 && sizeof(NPStream) == 48,
             "lastmodified, notifyData, headers");
VX_NP_LAYOUT(offsetof(NPSavedData, buf) == 8 && sizeof(NPSavedData) == 16, "NPSavedData is {len, buf}");
VX_NP_LAYOUT(offsetof(NPPrint, print.fullPrint.pluginPrinted) == 8, "pluginPrinted after the mode's padding");
VX_NP_LAYOUT(offsetof(NPPrint, print.embedPrint.platformPrint) == 56 && sizeof(NPPrint) == 64, "the embed print");
VX_NP_LAYOUT(offsetof(NPPluginFuncs, newp) == 8 && offsetof(NPPluginFuncs, print) == 72, "size, version, handlers");
VX_NP_LAYOUT(offsetof(NPPluginFuncs, event) == 80 && offsetof(NPPluginFuncs, javaClass) == 96, "event, javaClass");
VX_NP_LAYOUT(offsetof(NPPluginFuncs, getvalue) == 104 && offsetof(NPPluginFuncs, setvalue) == 112, "values");
VX_NP_LAYOUT(sizeof(NPPluginFuncs) == 144, "the plug-in table ends with urlredirectnotify");
VX_NP_LAYOUT(offsetof(NPNetscapeFuncs, geturl) == 8 && offsetof(NPNetscapeFuncs, status) == 56, "geturl, status");
VX_NP_LAYOUT(offsetof(NPNetscapeFuncs, memalloc) == 72 && offsetof(NPNetscapeFuncs, memfree) == 80, "memory");
VX_NP_LAYOUT(offsetof(NPNetscapeFuncs, getvalue) == 136 && offsetof(NPNetscapeFuncs, setvalue) == 144, "values");
VX_NP_LAYOUT(offsetof(NPNetscapeFuncs, invalidaterect) == 152 && offsetof(NPNetscapeFuncs, construct) == 360,
             "drawing and scripting");
VX_NP_LAYOUT(offsetof(NPNetscapeFuncs, scheduletimer) == 392 && offsetof(NPNetscapeFuncs, handleevent) == 424,
             "timers and events");
VX_NP_LAYOUT(sizeof(NPNetscapeFuncs) == 8 + VX_NP_BROWSER_SLOT_COUNT * 8, "55 services after size and version");

#undef VX_NP_LAYOUT

#endif
