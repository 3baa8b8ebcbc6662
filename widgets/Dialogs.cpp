#include "widgets/Dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>
#include <utility>

#include "support/Paths.h"
#include "support/Settings.h"
#include "widgets/MessageBox.h"
#include "widgets/PictureBox.h"
#include "widgets/Translations.h"
#include "widgets/WindowPlacement.h"

namespace basic {

namespace {

QuestionPresenter& Questions() {
  static QuestionPresenter presenter;
  return presenter;
}

FilePresenter& Files() {
  static FilePresenter presenter;
  return presenter;
}

QMessageBox::StandardButtons ButtonsOf(int32_t type) {
  switch (type & 0x0F) {
    case vbOKCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case vbAbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case vbYesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case vbYesNo: return QMessageBox::Yes | QMessageBox::No;
    case vbRetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
  }
}

QMessageBox::Icon IconOf(int32_t type) {
  switch (type & 0xF0) {
    case vbCritical: return QMessageBox::Critical;
    case vbQuestion: return QMessageBox::Question;
    case vbExclamation: return QMessageBox::Warning;
    case vbInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

int16_t CodeOf(int button) {
  switch (button) {
    case QMessageBox::Ok: return vbOK;
    case QMessageBox::Cancel: return vbCancel;
    case QMessageBox::Abort: return vbAbort;
    case QMessageBox::Retry: return vbRetry;
    case QMessageBox::Ignore: return vbIgnore;
    case QMessageBox::Yes: return vbYes;
    case QMessageBox::No: return vbNo;
    default: return vbCancel;
  }
}

}  // namespace

QStringList NameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // "*.*" means every file; in Qt it would hide the files without an extension.
    for (QString& pattern : patterns)
      if (pattern.trimmed() == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

QPoint WantedBoxCentre(const QWidget* owner) {
  const int tpp = TwipsPerPixel();
  const QRect g = owner->frameGeometry();
  const int64_t w = int64_t{g.width()} * tpp, h = int64_t{g.height()} * tpp;
  const int64_t l = int64_t{g.x()} * tpp, t = int64_t{g.y()} * tpp;
  return {static_cast<int>((w / 2 + l) / tpp), static_cast<int>((h / 2 + t) / tpp)};
}

QPoint PlaceBox(QPoint centre, QSize box, int32_t desktopRight, int32_t desktopBottom) {
  int x = centre.x() - box.width() / 2;
  if (x + box.width() > desktopRight) x = desktopRight - box.width();
  int y = centre.y() - box.height() / 2;
  if (y + box.height() > desktopBottom) y = desktopBottom - box.height();
  return {std::max(x, 0), std::max(y, 0)};
}

int16_t CenteredMessageBox(const QString& text, int32_t type, const QString& caption, QWidget* owner) {
  const QString title = caption.isEmpty() ? AppTitle() : caption;
  if (Questions()) return Questions()(text, type, title);
  InstallQtTranslations();  // "はい" and "いいえ" beside a Japanese question
  QMessageBox box(IconOf(type), title, text, ButtonsOf(type), owner);
  if (owner && !owner->isMinimized()) {
    const QPoint centre = WantedBoxCentre(owner);
    box.adjustSize();
    box.move(PlaceBox(centre, box.frameGeometry().size(), DesktopExtent(0, 1), DesktopExtent(1, 1)));
  }
  return CodeOf(box.exec());
}

QString FileDialog(QWidget* owner, int32_t save, const QString& filter, const QString& initialFolder,
                   const QString& initialName, int32_t flags) {
  const QString folder = EnsureTrailingSeparator(initialFolder, 1);
  if (Files()) return Files()(save, filter, folder, initialName);
  InstallQtTranslations();
  QFileDialog dialog(owner);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setNameFilters(NameFilters(filter));
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  if (!initialName.isEmpty()) dialog.selectFile(initialName);
  if (save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, flags != -1 && (flags & kOverwritePrompt) == 0);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  const int result = dialog.exec();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return StripAtNul(dialog.selectedFiles().first());
}

QuestionPresenter SetQuestionPresenter(QuestionPresenter presenter) {
  return std::exchange(Questions(), std::move(presenter));
}

FilePresenter SetFilePresenter(FilePresenter presenter) { return std::exchange(Files(), std::move(presenter)); }

}  // namespace basic
