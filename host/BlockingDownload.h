// A download that the host waits for, keeping the window messages flowing:
// registries and component packages, through the host's download manager.
#pragma once

#include <string>

namespace vx::host {

class CProgressWindow;

enum class DownloadOutcome { Done, Failed, Cancelled };

// Fetches url into localPath. The body is written beside localPath first and
// moved into place only when complete, so a failed or cancelled download
// leaves whatever was at localPath untouched. With a progress window, its bar
// follows the transfer and its Stop button cancels it.
DownloadOutcome DownloadBlocking(const std::string& url, const std::string& localPath,
                                 CProgressWindow* progress = nullptr);

}  // namespace vx::host
