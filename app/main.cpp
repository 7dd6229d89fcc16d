// frambit: the recovery window.

#include <QApplication>

#include "online/online_services.h"
#include "window/main_window.h"
#include "window/qt_desktop.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  frambit::QtDesktop desktop;
  frambit::TfrmMain frmMain(desktop);
  // Made after the window, which names the application the support window's
  // messages are captioned with.
  frambit::OnlineServices online(desktop);
  frmMain.SetOnlineCommands(online);
  frmMain.show();
  return application.exec();
}
