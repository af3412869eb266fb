#include "platform/Backend.h"

#include "platform/HeadlessBackend.h"

namespace vx {
namespace {

Backend* g_backend = nullptr;

}  // namespace

Backend::~Backend() = default;

void SetBackend(Backend* backend) { g_backend = backend; }

Backend& CurrentBackend() { return g_backend ? *g_backend : Headless(); }

}  // namespace vx
