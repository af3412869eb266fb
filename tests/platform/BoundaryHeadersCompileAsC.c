/* Every boundary header must compile as plain C, and C must see the same
 * layouts as C++. */
#include <stddef.h>

#include "BoundaryLayoutFacts.h"
#include "vantessel/Component.h"
#include "vantessel/Download.h"
#include "vantessel/Engine.h"
#include "vantessel/EngineResult.h"
#include "vantessel/Export.h"
#include "vantessel/FieldValues.h"
#include "vantessel/MediaLayer.h"
#include "vantessel/NodeTypes.h"

#define LAYOUT_SIZE(type) {"sizeof(" #type ")", sizeof(type)},
#define LAYOUT_OFFSET(type, member) {"offsetof(" #type ", " #member ")", offsetof(type, member)},
static const VxLayoutFact kLayoutsSeenFromC[] = {
#include "BoundaryLayouts.h"
};

const VxLayoutFact* VxLayoutsSeenFromC(size_t* count) {
  *count = sizeof kLayoutsSeenFromC / sizeof kLayoutsSeenFromC[0];
  return kLayoutsSeenFromC;
}
