#include <QApplication>

#include "measurement/FrmMain.h"
#include "support/Translations.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("morvane"));
  QApplication::setApplicationName(QStringLiteral("zarin"));
  basic::InstallQtTranslations();  // Qt's own texts in Japanese, like the program's
  FrmMain window;
  if (window.AnotherInstance()) return 0;  // one instance per user
  window.show();
  return QApplication::exec();
}
