#include "viewer/RecentFileList.h"

#include <QFile>
#include <QSettings>
#include <algorithm>

#include "platform/Path.h"
#include "viewer/ViewerResources.h"

namespace vx::viewer {
namespace {

QString EntryKey(size_t index) { return QStringLiteral("File%1").arg(index + 1); }

QSettings Settings() { return QSettings(QString::fromStdString(SettingsFilePath()), QSettings::IniFormat); }

}  // namespace

std::string SettingsFilePath() { return path::PreferencesFolder() + kSettingsFileName; }

void RecentFileList::Load() {
  files_.clear();
  QSettings settings = Settings();
  settings.beginGroup(kRecentFileGroup);
  for (size_t index = 0; index < kRecentFileCount; ++index) {
    const QString file = settings.value(EntryKey(index)).toString();
    if (!file.isEmpty()) files_.push_back(QFile::encodeName(file).toStdString());
  }
}

void RecentFileList::Add(const std::string& path) {
  std::erase(files_, path);
  files_.insert(files_.begin(), path);
  if (files_.size() > kRecentFileCount) files_.resize(kRecentFileCount);
  Save();
}

void RecentFileList::Remove(size_t index) {
  if (index >= files_.size()) return;
  files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(index));
  Save();
}

void RecentFileList::Save() const {
  QSettings settings = Settings();
  settings.remove(kRecentFileGroup);
  settings.beginGroup(kRecentFileGroup);
  for (size_t index = 0; index < files_.size(); ++index)
    settings.setValue(EntryKey(index), QFile::decodeName(files_[index].c_str()));
}

}  // namespace vx::viewer
