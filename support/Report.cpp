#include "support/Report.h"

#include <cstdio>
#include <utility>

namespace basic {

namespace {
MessagePresenter& Presenter() {
  static MessagePresenter presenter;
  return presenter;
}
Reporter*& CurrentReporter() {
  static Reporter* reporter = nullptr;
  return reporter;
}
}  // namespace

QString AppTitle() { return QStringLiteral("zarin"); }

void SetReporter(Reporter* reporter) { CurrentReporter() = reporter; }

void PlainMessage(const QString& title, const QString& text, MsgIcon icon) {
  if (Presenter()) {
    Presenter()(title, text, icon);
    return;
  }
  if (CurrentReporter()) {
    CurrentReporter()->Report(title, text, icon);
    return;
  }
  QString line = text;
  line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), line.toLocal8Bit().constData());
  std::fflush(stderr);
}

MessagePresenter SetMessagePresenter(MessagePresenter presenter) {
  return std::exchange(Presenter(), std::move(presenter));
}

}  // namespace basic
