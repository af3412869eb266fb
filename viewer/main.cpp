// The Vantessel Viewer program: vantessel-viewer [FILE]
#include <QApplication>
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
  QApplication::exec();
  return viewer.ExitInstance();
}
