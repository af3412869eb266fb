// The layer's file filters as the name filters of a QFileDialog.
#pragma once

#include <QStringList>
#include <vector>

#include "platform/Dialogs.h"

namespace vx {

// "Label (*.a *.b)" for each filter, in the same order: Qt filters by the patterns in the last
// parentheses, so a label's own parenthesised patterns are replaced by the
// filter's. "*.*" becomes "*", which is what it means to the hosts (every
// file), while on Linux "*.*" would skip names without a dot.
QStringList NameFilters(const std::vector<FileFilter>& filters);

}  // namespace vx
