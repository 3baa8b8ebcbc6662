#include "support/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <utility>

namespace basic {

namespace {
MessagePresenter& Presenter() {
  static MessagePresenter presenter;
  return presenter;
}

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

QString AppTitle() { return QStringLiteral("zarin"); }

void PlainMessage(const QString& title, const QString& text, MsgIcon icon) {
  if (Presenter()) {
    Presenter()(title, text, icon);
    return;
  }
  QMessageBox box(ToQt(icon), title, text, QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

MessagePresenter SetMessagePresenter(MessagePresenter presenter) {
  return std::exchange(Presenter(), std::move(presenter));
}

}  // namespace basic
