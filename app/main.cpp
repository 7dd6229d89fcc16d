// frambit: the recovery window.

#include <QApplication>

#include "window/main_window.h"
#include "window/qt_desktop.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  frambit::QtDesktop desktop;
  frambit::TfrmMain frmMain(desktop);
  frmMain.show();
  return application.exec();
}
