// A download that the host waits for, keeping the window messages flowing:
// registries and component packages, through the host's download manager.
#pragma once

#include <cstdint>
#include <string>

namespace vx::host {

class CProgressWindow;

enum class DownloadOutcome { Done, Failed, Cancelled, TimedOut };

// While one lives, blocking downloads give up (TimedOut) once its time is
// up, so that a host waiting on someone else's thread holds it no longer.
// One at a time.
class DownloadDeadline {
 public:
  explicit DownloadDeadline(uint32_t budgetMs);
  ~DownloadDeadline();
  DownloadDeadline(const DownloadDeadline&) = delete;
  DownloadDeadline& operator=(const DownloadDeadline&) = delete;

  // Whether a download ran out of the time.
  bool Passed() const;
};

// Fetches url into localPath. The body is written beside localPath first and
// moved into place only when complete, so a failed or cancelled download
// leaves whatever was at localPath untouched. With a progress window, its bar
// follows the transfer and its Stop button cancels it. Under a deadline
// that has passed nothing is fetched.
DownloadOutcome DownloadBlocking(const std::string& url, const std::string& localPath,
                                 CProgressWindow* progress = nullptr);

}  // namespace vx::host
