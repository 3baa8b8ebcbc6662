#include <QApplication>

#include "cli/CommandLine.h"
#include "widgets/MessageBox.h"
#include "widgets/Translations.h"
#include "window/FrmMain.h"

int main(int argc, char** argv) {
  // `zarin devices`, `zarin measure ...`, `zarin export ...`: no window.
  if (cli::WantsCommandLine(argc, argv)) return cli::Run(argc, argv);
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("morvane"));
  QApplication::setApplicationName(QStringLiteral("zarin"));  // also the window's class on X11
  // The menu entry the window belongs to (its application id on Wayland).
  QGuiApplication::setDesktopFileName(QStringLiteral("org.morvane.zarin"));
  basic::InstallQtTranslations();   // Qt's own texts in Japanese, like the program's
  basic::MessageBoxReporter boxes;  // the engine's messages appear as message boxes
  basic::SetReporter(&boxes);
  FrmMain window;
  if (window.AnotherInstance()) return 0;  // one instance per user
  window.show();
  return QApplication::exec();
}
