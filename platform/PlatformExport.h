// Marks the C++ API of libvxplatform.so. The library is built with hidden
// visibility, so only declarations carrying VX_PLATFORM_API are exported; one
// copy of the platform's state then serves the host and the engine alike.
#pragma once

#define VX_PLATFORM_API __attribute__((visibility("default")))
