// The Vantessel Viewer program: vantessel-viewer [FILE...]
//
// The viewer shows one world a window: the first file opens here, and every
// further one in a viewer of its own, as a file manager that hands over
// several files at once expects.
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <string>
#include <vector>

#include "platform/qt/QtBackend.h"
#include "viewer/ViewerApp.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  vx::QtBackend backend;
  std::vector<std::string> arguments;
  for (int index = 1; index < argc; ++index) arguments.emplace_back(argv[index]);
  vx::viewer::CViewerApp viewer;
  if (!viewer.InitInstance(arguments)) return viewer.ExitCode();
  for (size_t index = 1; index < arguments.size(); ++index)
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {QFile::decodeName(arguments[index].c_str())});
  QApplication::exec();
  return viewer.ExitInstance();
}
