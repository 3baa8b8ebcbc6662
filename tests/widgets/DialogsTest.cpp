#include "widgets/Dialogs.h"

#include <QApplication>
#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include "widgets/PictureBox.h"

using namespace basic;

namespace {

TEST(DialogsTest, ABoxIsPulledBackOntoTheDesktop) {
  const QSize box(300, 120);
  // An owner half off the right edge of a 1920 x 1080 desktop.
  EXPECT_EQ(PlaceBox(QPoint(1900, 500), box, 1920, 1080), QPoint(1620, 440));
  // Near the top-left corner: clamped to 0, never negative.
  EXPECT_EQ(PlaceBox(QPoint(40, 30), box, 1920, 1080), QPoint(0, 0));
  EXPECT_EQ(PlaceBox(QPoint(960, 540), box, 1920, 1080), QPoint(810, 480));
  EXPECT_EQ(PlaceBox(QPoint(960, 1075), box, 1920, 1080), QPoint(810, 960));
}

TEST(DialogsTest, TheWantedCentreIsTheOwnersCentre) {
  SetTwipsPerPixel(15);
  QWidget owner;
  owner.setGeometry(100, 200, 400, 300);
  const QRect f = owner.frameGeometry();
  EXPECT_EQ(WantedBoxCentre(&owner), QPoint(f.x() + f.width() / 2, f.y() + f.height() / 2));
}

TEST(DialogsTest, APresenterAnswersTheQuestion) {
  QString asked;
  const auto old = SetQuestionPresenter([&](const QString& text, int32_t type, const QString& caption) {
    asked = caption + ":" + text + ":" + QString::number(type);
    return int16_t{vbYes};
  });
  EXPECT_EQ(CenteredMessageBox(QStringLiteral("終了しますか？"), vbYesNo | vbQuestion, QString(), nullptr), vbYes);
  EXPECT_EQ(asked, QStringLiteral("zarin:終了しますか？:36"));
  SetQuestionPresenter(old);
}

TEST(DialogsTest, ACancelledFileDialogGivesEmptyText) {
  QTemporaryDir dir;
  QString seenFilter;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    seenFilter = dialog->nameFilters().join(";;");
    EXPECT_EQ(QDir(dialog->directory()).absolutePath(), QDir(dir.path()).absolutePath());
    dialog->reject();
  });
  EXPECT_EQ(FileDialog(nullptr, 1, QStringLiteral("測定結果|*.*"), dir.path() + "/", QStringLiteral("01.dat")), "");
  EXPECT_EQ(seenFilter, QStringLiteral("測定結果 (*)"));  // "*.*" would hide files without an extension
}

TEST(DialogsTest, NameFiltersTakeEveryPattern) {
  EXPECT_EQ(NameFilters(QStringLiteral("波形|*.dat;*.wav|全て|*.*")),
            (QStringList{QStringLiteral("波形 (*.dat *.wav)"), QStringLiteral("全て (*)")}));
}

TEST(DialogsTest, TheExitQuestionHasJapaneseButtons) {
  QStringList buttons;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    for (QAbstractButton* b : box->buttons()) buttons << b->text();
    if (QAbstractButton* no = box->button(QMessageBox::No)) no->click();
  });
  EXPECT_EQ(CenteredMessageBox(QStringLiteral("終了しますか？"), vbYesNo | vbQuestion, QString(), nullptr), vbNo);
  ASSERT_EQ(buttons.size(), 2);
  buttons.sort();  // "いいえ…" before "はい…"
  EXPECT_TRUE(buttons[0].startsWith(QStringLiteral("いいえ"))) << buttons[0].toStdString();
  EXPECT_TRUE(buttons[1].startsWith(QStringLiteral("はい"))) << buttons[1].toStdString();
}

TEST(DialogsTest, APresenterPicksTheFile) {
  const auto old =
      SetFilePresenter([](int32_t save, const QString& filter, const QString& folder, const QString& name) {
        return save ? folder + "|" + filter + "|" + name : QString();
      });
  EXPECT_EQ(FileDialog(nullptr, 1, "a|*.dat", "/data/", "x.dat"), "/data|a|*.dat|x.dat");
  EXPECT_EQ(FileDialog(nullptr, 0, "a|*.dat", "/data", "x.dat"), "");
  SetFilePresenter(old);
}

}  // namespace
