// A host component table for tests whose only service is the host's
// "Compression" slot 1, as the real host serves it: "x.gz" becomes "x".
#pragma once

#include <vantessel/Component.h>

namespace vx::test {

// For SetHostTable; the table lives as long as the program.
const VxSlotFunction* GunzipHostTable();

}  // namespace vx::test
