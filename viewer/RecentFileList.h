// The recent-file list: the last kRecentFileCount documents opened, newest
// first, kept in the viewer's settings file in the Preferences folder so that
// it outlives the program.
#pragma once

#include <string>
#include <vector>

namespace vx::viewer {

class RecentFileList {
 public:
  // Reads the list from the settings file (empty when there is none).
  void Load();

  const std::vector<std::string>& Files() const { return files_; }

  // Puts path first (moving it there when listed already), drops what falls
  // off the end, and saves the list.
  void Add(const std::string& path);
  // Drops entry `index` (one that no longer opens) and saves the list.
  void Remove(size_t index);

 private:
  void Save() const;

  std::vector<std::string> files_;
};

// The viewer's settings file.
std::string SettingsFilePath();

}  // namespace vx::viewer
