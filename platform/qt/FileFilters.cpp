#include "platform/qt/FileFilters.h"

#include <QRegularExpression>

namespace vx {
namespace {

QString Patterns(const std::string& pattern) {
  QStringList patterns;
  for (const QString& part : QString::fromStdString(pattern).split(';', Qt::SkipEmptyParts)) {
    QString trimmed = part.trimmed();
    if (!trimmed.isEmpty()) patterns << (trimmed == "*.*" ? QStringLiteral("*") : trimmed);
  }
  return patterns.join(' ');
}

QString LabelWithoutPatterns(const std::string& label) {
  static const QRegularExpression kTrailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  return QString::fromStdString(label).remove(kTrailingPatterns).trimmed();
}

}  // namespace

QStringList NameFilters(const std::vector<FileFilter>& filters) {
  QStringList names;
  for (const FileFilter& filter : filters) {
    QString patterns = Patterns(filter.pattern);
    QString label = LabelWithoutPatterns(filter.label);
    names << (label.isEmpty() ? patterns : label) + " (" + patterns + ")";
  }
  return names;
}

}  // namespace vx
