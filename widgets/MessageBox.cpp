#include "widgets/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace basic {

namespace {
QMessageBox::Icon ToQt(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::None:
    default: return QMessageBox::NoIcon;
  }
}
}  // namespace

void MessageBoxReporter::Report(const QString& title, const QString& text, MsgIcon icon) {
  QMessageBox box(ToQt(icon), title, text, QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

}  // namespace basic
