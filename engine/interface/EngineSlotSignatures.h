// The boundary's signature of every engine slot. A function is put into the
// slot table only through SetEngineSlot, so one whose signature differs from
// what hosts call it as does not compile.
#pragma once

#include <array>

#include <vantessel/Engine.h>

namespace vx {

using EngineSlotTable = std::array<VxSlotFunction, VxEngineSlotCount>;

template <VxEngineSlot Slot>
struct EngineSlotSignature;

#define VX_ENGINE_SLOT_SIGNATURE(slot, signature) \
  template <>                                     \
  struct EngineSlotSignature<slot> {              \
    using Type = signature;                       \
  }

VX_ENGINE_SLOT_SIGNATURE(VxEngineCreateEngineInstance, VxCreateEngineInstanceFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetEngineVersion, VxGetEngineVersionFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineDestroyEngineInstance, VxDestroyEngineInstanceFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineRunRemoteCommands, VxRunRemoteCommandsFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetDownloadStatusText, VxGetDownloadStatusTextFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineClearDownloadCache, VxClearDownloadCacheFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetCacheSizeLimit, VxGetCacheSizeLimitFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetCacheSizeLimit, VxSetCacheSizeLimitFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineReservedSlot9, VxReservedSlotFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineReservedSlot10, VxReservedSlotFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineStartEngineDownload, VxStartEngineDownloadFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineStartEngineDownloadToFile, VxStartEngineDownloadToFileFn);
VX_ENGINE_SLOT_SIGNATURE(VxEnginePollDownloads, VxPollDownloadsFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineCreateScene, VxCreateSceneFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineDestroyScene, VxDestroySceneFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineCreateView, VxCreateViewFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineDestroyView, VxDestroyViewFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetViewScene, VxGetViewSceneFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineLoadSceneFile, VxLoadSceneFileFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSaveSceneFile, VxSaveSceneFileFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetSceneUrl, VxSetSceneTextFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetSceneUrl, VxGetSceneTextFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetSceneDirectory, VxSetSceneTextFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetSceneDirectory, VxGetSceneTextFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetViewWindow, VxSetViewWindowFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetViewWindow, VxGetViewWindowFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetViewRect, VxSetViewRectFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetViewRect, VxGetViewRectFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetViewTargetBuffer, VxSetViewTargetBufferFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetViewTargetBuffer, VxGetViewTargetBufferFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineViewMouseDown, VxViewActionFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineViewMouseUp, VxViewActionFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineTickView, VxViewActionFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineRegisterHostScriptFunction, VxRegisterHostScriptFunctionFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetViewCallback, VxSetViewCallbackFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetCameraPosition, VxGetCameraPositionFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetCameraPosition, VxSetCameraPositionFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetCameraOrientation, VxGetCameraOrientationFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetCameraOrientation, VxSetCameraOrientationFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetCameraFieldOfView, VxGetCameraFieldOfViewFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetCameraFieldOfView, VxSetCameraFieldOfViewFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineFindNodeByName, VxFindNodeByNameFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineReleaseNodeRef, VxReleaseNodeRefFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetNodeTypeId, VxGetNodeTypeIdFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetNodeFieldType, VxGetNodeMemberTypeFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetNodeEventInType, VxGetNodeMemberTypeFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetNodeFieldValue, VxGetNodeFieldValueFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetNodeField, VxSetNodeValueFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSendNodeEvent, VxSetNodeValueFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineParseFieldValue, VxParseFieldValueFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineFormatFieldValue, VxFormatFieldValueFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetNetworkEnabled, VxSetNetworkEnabledFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetBoundNodeRef, VxGetBoundNodeRefFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetViewKey, VxSetViewKeyFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetViewFocus, VxSetViewFocusFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineSetViewBorder, VxSetViewBorderFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetSceneMessage, VxGetSceneMessageFn);
VX_ENGINE_SLOT_SIGNATURE(VxEngineGetViewTickDelay, VxGetViewTickDelayFn);

#undef VX_ENGINE_SLOT_SIGNATURE

// The parameter is not deduced: fn converts to the slot's signature only when
// it has exactly that signature.
template <VxEngineSlot Slot>
void SetEngineSlot(EngineSlotTable& table, typename EngineSlotSignature<Slot>::Type fn) {
  table[Slot] = reinterpret_cast<VxSlotFunction>(fn);
}

}  // namespace vx
