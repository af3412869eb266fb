// The library's only exports: its builder, under its own name and as the
// first numbered export.
#include <vantessel/Export.h>

#include "engine/interface/EngineInterface.h"

VX_EXTERN_C VX_EXPORT int32_t Vexlin(VxBuilderArgs* args) { return vx::BuildEngineComponent(args); }

VX_EXTERN_C VX_EXPORT int32_t VX_NUMBERED_EXPORT_NAME(1)(VxBuilderArgs* args) {
  return vx::BuildEngineComponent(args);
}
