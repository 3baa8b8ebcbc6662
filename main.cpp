#include <QApplication>

#include "measurement/FrmMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("morvane"));
  QApplication::setApplicationName(QStringLiteral("zarin"));
  FrmMain window;
  if (window.AnotherInstance()) return 0;  // one instance per user
  window.show();
  return QApplication::exec();
}
