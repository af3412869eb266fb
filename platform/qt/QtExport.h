// Marks the API of libvxplatform-qt.so, which is built with hidden
// visibility like every library of the project.
#pragma once

#define VX_PLATFORM_QT_API __attribute__((visibility("default")))
