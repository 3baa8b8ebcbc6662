#pragma once
// The exit question and the file chooser: a message box centred over the
// window that asks and kept on the desktop, and the standard open/save file
// dialog with "description|pattern" filter pairs.
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QWidget;

namespace basic {

// Message box types (buttons + icon) and results, as the program passes them.
enum MsgBoxType : int32_t {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbAbortRetryIgnore = 2,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbRetryCancel = 5,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
};
enum MsgBoxResult : int16_t { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

// The centre (screen pixels) a box over owner aims at: the owner's centre.
QPoint WantedBoxCentre(const QWidget* owner);
// Where a box of boxSize goes around centre, kept inside the desktop's
// right and bottom edges and never at negative coordinates.
QPoint PlaceBox(QPoint centre, QSize boxSize, int32_t desktopRight, int32_t desktopBottom);

// Shows the box (type as above; empty caption: the program's title) centred
// over owner and returns the pressed button's code.
int16_t CenteredMessageBox(const QString& text, int32_t type, const QString& caption, QWidget* owner);

// The chosen path, or empty text when the user cancels. filter: "desc|pattern|…";
// flags -1: the default (the save dialog asks before replacing a file);
// otherwise it asks only when flags holds kOverwritePrompt.
inline constexpr int32_t kOverwritePrompt = 2;
QString FileDialog(QWidget* owner, int32_t save, const QString& filter, const QString& initialFolder,
                   const QString& initialName, int32_t flags = -1);

// Qt's name filters for "description|pattern|…" pairs, patterns separated by
// ";": "測定結果|*.*|波形|*.dat;*.wav" gives "測定結果 (*)", "波形 (*.dat *.wav)".
QStringList NameFilters(const QString& filter);

// Tests answer the dialogs without a modal loop.
using QuestionPresenter = std::function<int16_t(const QString& text, int32_t type, const QString& caption)>;
QuestionPresenter SetQuestionPresenter(QuestionPresenter presenter);
using FilePresenter =
    std::function<QString(int32_t save, const QString& filter, const QString& folder, const QString& name)>;
FilePresenter SetFilePresenter(FilePresenter presenter);

}  // namespace basic
