// frambit-screenshot FILE.png: renders the main window as it opens into a
// PNG, so the layout can be looked at without a display
// (QT_QPA_PLATFORM=offscreen).

#include <QApplication>
#include <QPixmap>

#include <cstdio>

#include "window/main_window.h"
#include "window/qt_desktop.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: frambit-screenshot FILE.png\n");
    return 2;
  }
  frambit::QtDesktop desktop;
  frambit::TfrmMain frmMain(desktop);
  frmMain.show();
  // Lets the file list read its folder before the picture is taken.
  for (int pass = 0; pass < 20; ++pass) QApplication::processEvents(QEventLoop::AllEvents, 50);
  if (!frmMain.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
