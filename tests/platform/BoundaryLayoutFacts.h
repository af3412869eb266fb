/* One measured fact of a boundary layout: what was measured and its value. */
#ifndef VX_TEST_BOUNDARY_LAYOUT_FACTS_H
#define VX_TEST_BOUNDARY_LAYOUT_FACTS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VxLayoutFact {
  const char* what;
  size_t value;
} VxLayoutFact;

/* The facts of BoundaryLayouts.h as the C compiler measures them. */
const VxLayoutFact* VxLayoutsSeenFromC(size_t* count);

#ifdef __cplusplus
}
#endif

#endif
