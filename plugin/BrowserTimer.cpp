#include "plugin/BrowserTimer.h"

#include <glib.h>

namespace vx::plugin {

void BrowserTimer::Start(uint32_t intervalMs, Callback callback, void* data) {
  Stop();
  callback_ = callback;
  data_ = data;
  source_ = g_timeout_add(intervalMs, &BrowserTimer::Fire, this);
}

void BrowserTimer::Stop() {
  if (source_ != 0) g_source_remove(source_);
  source_ = 0;
}

// The timer is not touched after the callback, which may have destroyed it
// (GLib keeps a source removed during its own dispatch until that ends).
int BrowserTimer::Fire(void* timer) {
  const auto& self = *static_cast<BrowserTimer*>(timer);
  self.callback_(self.data_);
  return G_SOURCE_CONTINUE;
}

}  // namespace vx::plugin
