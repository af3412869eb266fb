/* The engine interface: the component "Vexlin", version 2.2, a table of
 * VxEngineSlotCount functions that a host fetches by component name and slot
 * number at every call (see Component.h) and casts to the signature below.
 *
 * Handles: the engine allocates and frees EngineInstance (slots 0 and 2),
 * SceneHandle (14 and 15), ViewHandle (16 and 17) and the node references
 * handed out by slots 42 and 53 (freed by slot 43); a host only passes them
 * back. A host may destroy a view, its scene and the instance from inside a
 * callback: they are gone for the host at once, and the engine lets go of
 * them when the call that made the callback returns, calling the view's
 * callback no more. A node reference outlives a reload or the destruction of
 * its scene; its node then belongs to no world. The value block made by slot 50 comes from malloc and the host frees
 * it with free (it holds no nodes unless the type is SFNode or MFNode, whose
 * references the host hands back through slot 48 first). Every text buffer
 * the host passes for output holds VX_TEXT_BUFFER_SIZE characters,
 * terminator included; the engine never writes more. Results not given as a
 * handle or a pointer are EngineResult codes (EngineResult.h). */
#ifndef VANTESSEL_ENGINE_H
#define VANTESSEL_ENGINE_H

#include <stddef.h>
#include <stdint.h>

#include "vantessel/Download.h"
#include "vantessel/EngineResult.h"
#include "vantessel/FieldValues.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VX_ENGINE_COMPONENT_NAME "Vexlin"
#define VX_ENGINE_COMPONENT_MAJOR 2
#define VX_ENGINE_COMPONENT_MINOR 2
/* The notes of a world that slot 57 keeps to be read. */
#define VX_SCENE_MESSAGES_KEPT 32
/* Slot 58's "until something happens". */
#define VX_TICK_ON_INPUT 0xFFFFFFFFu
/* The interface version reported by slot 1, independent of the component's. */
#define VX_ENGINE_INTERFACE_MAJOR 1
#define VX_ENGINE_INTERFACE_MINOR 11

typedef struct EngineInstance EngineInstance;
typedef struct SceneHandle SceneHandle;
typedef struct ViewHandle ViewHandle;
/* A counted reference to one node of a world, one pointer wide. */
typedef struct VxNodeRef VxNodeRef;
/* A platform window, as a number; 0 is none. Pointer-sized. */
typedef uintptr_t VxWindow;

/* Options of a view, given at creation. */
typedef uint16_t ViewFlags;
enum {
  ViewFlagHostCursor = 0x02,    /* set cursor shapes even when the host feeds the pointer */
  ViewFlagOwnPalette = 0x04,    /* make and realise a 256-colour palette */
  ViewFlagAlwaysInput = 0x08,   /* no focus and pointer-inside test */
  ViewFlagCaptureMouse = 0x10,  /* capture between press and release; own frame image only */
  ViewFlagHostInput = 0x20      /* pointer position and keys fed by the host */
};

/* Codes a view sends to its ViewCallback. */
typedef enum ViewEventCode {
  ViewEventOpenLink = 1,     /* data: a LinkRequest of a link that is not a scene */
  ViewEventPress = 2,        /* data: the pressed node's DEF name */
  ViewEventHeld = 3,         /* every tick between press and release; the DEF name */
  ViewEventRelease = 4,      /* the DEF name */
  ViewEventVistaBound = 5,   /* the Vista node's DEF name */
  ViewEventVistaUnbound = 6, /* the Vista node's DEF name */
  ViewEventFullScreen = 7    /* the bound Display's fullScreen (0 or 1) in the data word */
} ViewEventCode;

/* The same shape as DownloadCallback; fn is called only when not null. */
typedef struct ViewCallback {
  void* userData;
  void (*fn)(int32_t code, void* data, void* userData);
} ViewCallback;

typedef struct LinkRequest {
  char url[VX_TEXT_BUFFER_SIZE];
  char target[VX_TEXT_BUFFER_SIZE]; /* the frame name; empty: the host's default */
} LinkRequest;

/* A host-supplied frame buffer of slots 29/30: the base first (null: none),
 * then width, height, bytes per row and bits per pixel. */
typedef struct VxTargetBuffer {
  void* base;
  uintptr_t width;
  uintptr_t height;
  uintptr_t rowBytes;
  uintptr_t depth;
} VxTargetBuffer;

/* A host function that Script nodes call by name (slot 34): a Script whose
 * first url is the function's name followed by ':' calls
 * fn(VX_SCRIPT_FUNCTION_EVENT, ScriptCallData*, userData) on every eventIn. */
typedef struct ScriptFunctionCallback {
  void* userData;
  void (*fn)(int32_t code, void* data, void* userData);
} ScriptFunctionCallback;

#define VX_SCRIPT_FUNCTION_EVENT 8

/* The block a host function receives; the engine's, valid only during the
 * call. Texts are terminated and cut to fit. */
typedef struct ScriptCallData {
  char defName[VX_TEXT_BUFFER_SIZE];     /* the Script's DEF name, empty when none */
  char url[VX_TEXT_BUFFER_SIZE];         /* the Script's whole first url */
  char eventInName[VX_TEXT_BUFFER_SIZE]; /* the eventIn that received the event */
  const void* value;                     /* the event value, laid out as its FieldType */
  int32_t valType;                       /* FieldType of the Script's field "val", 0 when none */
} ScriptCallData;

enum VxEngineSlot {
  VxEngineCreateEngineInstance = 0,
  VxEngineGetEngineVersion = 1,
  VxEngineDestroyEngineInstance = 2,
  VxEngineRunRemoteCommands = 3,
  VxEngineGetDownloadStatusText = 4,
  VxEngineEmptySlot5 = 5, /* never set */
  VxEngineClearDownloadCache = 6,
  VxEngineGetCacheSizeLimit = 7,
  VxEngineSetCacheSizeLimit = 8,
  VxEngineReservedSlot9 = 9,
  VxEngineReservedSlot10 = 10,
  VxEngineStartEngineDownload = 11,
  VxEngineStartEngineDownloadToFile = 12,
  VxEnginePollDownloads = 13,
  VxEngineCreateScene = 14,
  VxEngineDestroyScene = 15,
  VxEngineCreateView = 16,
  VxEngineDestroyView = 17,
  VxEngineGetViewScene = 18,
  VxEngineLoadSceneFile = 19,
  VxEngineSaveSceneFile = 20,
  VxEngineSetSceneUrl = 21,
  VxEngineGetSceneUrl = 22,
  VxEngineSetSceneDirectory = 23,
  VxEngineGetSceneDirectory = 24,
  VxEngineSetViewWindow = 25,
  VxEngineGetViewWindow = 26,
  VxEngineSetViewRect = 27,
  VxEngineGetViewRect = 28,
  VxEngineSetViewTargetBuffer = 29,
  VxEngineGetViewTargetBuffer = 30,
  VxEngineViewMouseDown = 31,
  VxEngineViewMouseUp = 32,
  VxEngineTickView = 33,
  VxEngineRegisterHostScriptFunction = 34,
  VxEngineSetViewCallback = 35,
  VxEngineGetCameraPosition = 36,
  VxEngineSetCameraPosition = 37,
  VxEngineGetCameraOrientation = 38,
  VxEngineSetCameraOrientation = 39,
  VxEngineGetCameraFieldOfView = 40,
  VxEngineSetCameraFieldOfView = 41,
  VxEngineFindNodeByName = 42,
  VxEngineReleaseNodeRef = 43,
  VxEngineGetNodeTypeId = 44,
  VxEngineGetNodeFieldType = 45,
  VxEngineGetNodeEventInType = 46,
  VxEngineGetNodeFieldValue = 47,
  VxEngineSetNodeField = 48,
  VxEngineSendNodeEvent = 49,
  VxEngineParseFieldValue = 50,
  VxEngineFormatFieldValue = 51,
  VxEngineSetNetworkEnabled = 52,
  VxEngineGetBoundNodeRef = 53,
  VxEngineSetViewKey = 54,
  VxEngineSetViewFocus = 55,
  VxEngineSetViewBorder = 56,
  VxEngineGetSceneMessage = 57,
  VxEngineGetViewTickDelay = 58,
  VxEngineSlotCount = 59
};

/* Signatures of the slots, in slot order. Rectangles are (top, left, bottom,
 * right). */
typedef EngineInstance* (*VxCreateEngineInstanceFn)(void);
typedef EngineResult (*VxGetEngineVersionFn)(uint16_t* major, uint16_t* minor);
typedef EngineResult (*VxDestroyEngineInstanceFn)(EngineInstance* instance);
typedef void (*VxRunRemoteCommandsFn)(EngineInstance* instance);
typedef EngineResult (*VxGetDownloadStatusTextFn)(EngineInstance* instance, char* text);
typedef EngineResult (*VxClearDownloadCacheFn)(EngineInstance* instance);
typedef EngineResult (*VxGetCacheSizeLimitFn)(EngineInstance* instance, uint32_t* out);
typedef EngineResult (*VxSetCacheSizeLimitFn)(EngineInstance* instance, uint32_t limit);
typedef EngineResult (*VxReservedSlotFn)(void);
typedef EngineResult (*VxStartEngineDownloadFn)(EngineInstance* instance, const char* url,
                                                DownloadCallback* callback, int32_t* outRequest);
typedef EngineResult (*VxStartEngineDownloadToFileFn)(EngineInstance* instance, const char* url,
                                                      const char* localPath, DownloadCallback* callback,
                                                      int32_t* outRequest);
typedef EngineResult (*VxPollDownloadsFn)(EngineInstance* instance);
typedef SceneHandle* (*VxCreateSceneFn)(EngineInstance* instance);
typedef EngineResult (*VxDestroySceneFn)(SceneHandle* scene);
typedef ViewHandle* (*VxCreateViewFn)(SceneHandle* scene, VxWindow window, const uint16_t* rect, ViewFlags flags);
typedef EngineResult (*VxDestroyViewFn)(ViewHandle* view);
typedef SceneHandle* (*VxGetViewSceneFn)(ViewHandle* view);
/* path: a VX_TEXT_BUFFER_SIZE buffer, rewritten in place from a "file:///" URL. */
typedef EngineResult (*VxLoadSceneFileFn)(SceneHandle* scene, char* path, char* error);
typedef EngineResult (*VxSaveSceneFileFn)(SceneHandle* scene, const char* path, uint16_t flag);
typedef EngineResult (*VxSetSceneTextFn)(SceneHandle* scene, const char* text);
typedef EngineResult (*VxGetSceneTextFn)(SceneHandle* scene, char* out);
typedef EngineResult (*VxSetViewWindowFn)(ViewHandle* view, VxWindow window);
typedef EngineResult (*VxGetViewWindowFn)(ViewHandle* view, VxWindow* out);
typedef EngineResult (*VxSetViewRectFn)(ViewHandle* view, const uint16_t* rect);
typedef EngineResult (*VxGetViewRectFn)(ViewHandle* view, uint16_t* rect);
typedef EngineResult (*VxSetViewTargetBufferFn)(ViewHandle* view, const VxTargetBuffer* desc);
typedef EngineResult (*VxGetViewTargetBufferFn)(ViewHandle* view, VxTargetBuffer* desc);
typedef EngineResult (*VxViewActionFn)(ViewHandle* view);
typedef EngineResult (*VxRegisterHostScriptFunctionFn)(EngineInstance* instance, const char* name,
                                                       ScriptFunctionCallback* callback);
typedef EngineResult (*VxSetViewCallbackFn)(ViewHandle* view, const ViewCallback* callback);
typedef EngineResult (*VxGetCameraPositionFn)(ViewHandle* view, float* xyz);
typedef EngineResult (*VxSetCameraPositionFn)(ViewHandle* view, const float* xyz);
typedef EngineResult (*VxGetCameraOrientationFn)(ViewHandle* view, float* pitch, float* yaw, float* roll);
typedef EngineResult (*VxSetCameraOrientationFn)(ViewHandle* view, float pitch, float yaw, float roll);
typedef EngineResult (*VxGetCameraFieldOfViewFn)(ViewHandle* view, float* out);
typedef EngineResult (*VxSetCameraFieldOfViewFn)(ViewHandle* view, float radians);
typedef EngineResult (*VxFindNodeByNameFn)(SceneHandle* scene, const char* defName, VxNodeRef** out);
typedef EngineResult (*VxReleaseNodeRefFn)(VxNodeRef* ref);
typedef EngineResult (*VxGetNodeTypeIdFn)(SceneHandle* scene, VxNodeRef* ref, int32_t* out);
typedef EngineResult (*VxGetNodeMemberTypeFn)(SceneHandle* scene, VxNodeRef* ref, const char* name, int32_t* out);
typedef EngineResult (*VxGetNodeFieldValueFn)(SceneHandle* scene, VxNodeRef* ref, const char* name, void** out);
typedef EngineResult (*VxSetNodeValueFn)(SceneHandle* scene, VxNodeRef* ref, const char* name, void* value);
/* Returns the conversion's 16-bit result widened with its sign; *out gets a
 * malloc'ed value block or null. */
typedef int32_t (*VxParseFieldValueFn)(SceneHandle* scene, ViewHandle* view, const char* text, FieldType type,
                                       void** out);
/* EngineTextCut when the text did not fit out: a list keeps the whole
 * elements that fit, after their count, and a single value gives no text, so
 * that out always reads back as what it shows. */
typedef EngineResult (*VxFormatFieldValueFn)(const void* value, FieldType type, char* out);
typedef EngineResult (*VxSetNetworkEnabledFn)(EngineInstance* instance, uint16_t on);
typedef EngineResult (*VxGetBoundNodeRefFn)(SceneHandle* scene, int32_t typeId, VxNodeRef** out);
typedef EngineResult (*VxSetViewKeyFn)(ViewHandle* view, uint8_t character);
typedef EngineResult (*VxSetViewFocusFn)(ViewHandle* view, uint16_t on);
typedef EngineResult (*VxSetViewBorderFn)(ViewHandle* view, uint16_t on, const float* rgb);
/* The notes the scene's world made since it was loaded (values it refused,
 * Text lines it does not draw, ...): *count gets how many there were; text
 * (null, or a VX_TEXT_BUFFER_SIZE buffer) gets note number index, or stays
 * empty for an index at or past VX_SCENE_MESSAGES_KEPT or the count, since
 * only the first ones are kept. A scene without a world has none. */
typedef EngineResult (*VxGetSceneMessageFn)(SceneHandle* scene, uint32_t index, char* text, uint32_t* count);
/* How many milliseconds the host may wait before it ticks the view again:
 * 0 at once (the view would draw), VX_TICK_ON_INPUT while nothing but input
 * or a host's call can change what it shows. A host that waits ticks at once
 * on pointer, key, focus and size changes. */
typedef EngineResult (*VxGetViewTickDelayFn)(ViewHandle* view, uint32_t* milliseconds);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(ViewCallback) == 2 * sizeof(void*), "ViewCallback is {userData, fn}");
static_assert(sizeof(LinkRequest) == 2 * VX_TEXT_BUFFER_SIZE, "LinkRequest is {url, target}");
static_assert(sizeof(VxTargetBuffer) == 5 * sizeof(void*), "five pointer-sized words");
static_assert(sizeof(ViewFlags) == 2, "ViewFlags is 16-bit");
static_assert(offsetof(ScriptCallData, value) == 3 * VX_TEXT_BUFFER_SIZE, "the value pointer after the texts");
#else
_Static_assert(sizeof(ViewCallback) == 2 * sizeof(void*), "ViewCallback is {userData, fn}");
_Static_assert(sizeof(LinkRequest) == 2 * VX_TEXT_BUFFER_SIZE, "LinkRequest is {url, target}");
_Static_assert(sizeof(VxTargetBuffer) == 5 * sizeof(void*), "five pointer-sized words");
_Static_assert(offsetof(ScriptCallData, value) == 3 * VX_TEXT_BUFFER_SIZE, "the value pointer after the texts");
#endif

#endif
