/* Every boundary header must compile as plain C. */
#include "vantessel/Component.h"
#include "vantessel/Download.h"
#include "vantessel/Engine.h"
#include "vantessel/EngineResult.h"
#include "vantessel/Export.h"
#include "vantessel/FieldValues.h"
#include "vantessel/NodeTypes.h"

int VxBoundaryHeadersCompileAsC(void) { return (int)sizeof(MFValue) + (int)NodeTypeWorldInfo; }
