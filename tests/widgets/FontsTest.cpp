#include "widgets/Fonts.h"

#include <QComboBox>
#include <QFontInfo>
#include <QSettings>
#include <QWidget>
#include <gtest/gtest.h>

#include "support/Settings.h"
#include "widgets/PictureBox.h"

using namespace basic;

namespace {

class FontsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    DeleteUiFonts();
  }
  void TearDown() override {
    SetTwipsPerPixel(15);
    DeleteUiFonts();
  }
};

TEST_F(FontsTest, SameAttributesShareOneCacheEntry) {
  QWidget a, b;
  const int ia = ApplyUiFont(&a, -2);
  const int ib = ApplyUiFont(&b, -2, nullptr, 9, 0, 0, QStringLiteral("ＭＳ Ｐゴシック"));
  EXPECT_EQ(ia, 0);  // the default font is created first
  EXPECT_EQ(ib, 0);
  EXPECT_EQ(UiFontCount(), 1);
  EXPECT_EQ(a.font(), b.font());
  EXPECT_EQ(DefaultUiFace(), QStringLiteral("ＭＳ Ｐゴシック"));
  EXPECT_EQ(ApplyUiFont(&b, -2, nullptr, 9.5f), 1);
  EXPECT_EQ(UiFontCount(), 2);
  EXPECT_EQ(ApplyUiFont(&b, 5), -3);  // no such entry: nothing changes
  EXPECT_EQ(ApplyUiFont(&b, -4), -3);
  EXPECT_EQ(b.font(), UiFonts()[1].Handle);
  // Taking the attributes from another control.
  QWidget c;
  c.setFont(UiFonts()[1].Handle);
  EXPECT_GE(ApplyUiFont(nullptr, -1, &c), 0);
}

TEST_F(FontsTest, HeightsWeightsAndTheMeiryoFactor) {
  ASSERT_EQ(CreateUiFont(9, 0, 0, QStringLiteral("メイリオ")), 1);
  EXPECT_EQ(UiFonts().back().PixelHeight, 16);
  EXPECT_FLOAT_EQ(UiFonts().back().HeightFactor, static_cast<float>(1 / 1.34));
  ASSERT_EQ(CreateUiFont(9, 0, 0, QStringLiteral("ＭＳ Ｐゴシック")), 1);
  EXPECT_EQ(UiFonts().back().PixelHeight, 12);
  EXPECT_EQ(UiFonts().back().Weight, 0);
  SetTwipsPerPixel(12);
  ASSERT_EQ(CreateUiFont(9, -1, -1, QString()), 1);
  EXPECT_EQ(UiFonts().back().Weight, 875);
  EXPECT_TRUE(UiFonts().back().Handle.italic());
  DeleteUiFonts();
  EXPECT_EQ(UiFontCount(), 0);
  QWidget w;
  EXPECT_EQ(ApplyUiFont(&w, -2), 0);  // the default comes back first
}

TEST_F(FontsTest, FitTextToWidthCutsToTheLimit) {
  PictureBox pb;
  pb.SetFontSize(9);
  const QString text = QStringLiteral("abcdefghij");
  const double w4 = pb.TextWidth(text.left(4));
  EXPECT_EQ(FitTextToWidth(text, pb, static_cast<int32_t>(w4), false), text.left(4));
  EXPECT_EQ(FitTextToWidth(text, pb, static_cast<int32_t>(pb.TextWidth(text.right(3))), true), text.right(3));
  EXPECT_EQ(FitTextToWidth(QStringLiteral("W"), pb, 1, false), QStringLiteral("W"));
  EXPECT_EQ(FitTextToWidth(text, pb, 1, false), QStringLiteral("a"));
  EXPECT_EQ(FitTextToWidth(text, pb, 1, true), QStringLiteral("j"));
  EXPECT_EQ(FitTextToWidth(text, pb, 100000, false), text);
}

TEST_F(FontsTest, PlaceNextToInAllFourModes) {
  QWidget parent;
  QWidget ref(&parent), own(&parent);
  ref.setGeometry(10, 20, 100, 30);
  own.setGeometry(0, 0, 40, 10);
  PlaceNextTo(&own, &ref, 0, -1, 1);
  EXPECT_EQ(own.pos(), QPoint(10, 52));
  PlaceNextTo(&own, &ref, 1, 30, 1);
  EXPECT_EQ(own.pos(), QPoint(112, 20));
  PlaceNextTo(&own, &ref, 2, -1, 2, 300);
  EXPECT_EQ(own.pos(), QPoint(20, 30));
  PlaceNextTo(&own, &ref, 3, 0, 1);
  EXPECT_EQ(own.pos(), QPoint(70, 50));
  PlaceNextTo(&own, &ref, 1, 0, 0);
  EXPECT_EQ(own.pos(), QPoint(110, 50));  // cross axis left alone
  PlaceNextTo(&own, &ref, 4, 0, 1);
  EXPECT_EQ(own.pos(), QPoint(110, 50));
}

TEST_F(FontsTest, LoadNextControlAddsBelowItsPredecessor) {
  QWidget parent;
  std::vector<QWidget*> array{new QWidget(&parent)};
  array[0]->setGeometry(70, 61, 224, 20);
  QWidget* second = LoadNextControl(array, 1, 0, true, false);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(array.size(), 2u);
  EXPECT_EQ(second->geometry(), QRect(70, 83, 224, 20));
  EXPECT_EQ(second->parentWidget(), &parent);
  EXPECT_EQ(LoadNextControl(array, 5, 0, true, false), nullptr);
}

TEST_F(FontsTest, SelectComboTextPicksTheLastEqualEntry) {
  QComboBox combo;
  combo.addItems({"a", "b", "a"});
  combo.setCurrentIndex(1);
  SelectComboText(&combo, "a");
  EXPECT_EQ(combo.currentIndex(), 2);
  SelectComboText(&combo, "zz");
  EXPECT_EQ(combo.currentIndex(), 2);
}

TEST_F(FontsTest, LanguageModeRules) {
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin").clear();
  CheckLanguageModeWith(false, false);
  EXPECT_EQ(LangMode(), 1);
  EXPECT_EQ(FontOverride(), 0);
  CheckLanguageModeWith(true, false);
  EXPECT_EQ(LangMode(), 0);
  EXPECT_EQ(FontOverride(), 1);
  CheckLanguageModeWith(true, true);
  EXPECT_EQ(FontOverride(), 0);
  WriteSetting("LangMode", int32_t{2});
  CheckLanguageModeWith(true, false);
  EXPECT_EQ(LangMode(), 2);
  EXPECT_EQ(FontOverride(), 0);
}

// Japanese captions render as glyphs, not as the missing-glyph box.
TEST_F(FontsTest, JapaneseTextRendersAsGlyphs) {
  QWidget w;
  ApplyUiFont(&w, -2, nullptr, 24);
  const auto render = [&](const QString& text) {
    PictureBox pb;
    pb.SetPixelSize(200, 60);
    pb.SetBackColor(0xFFFFFF);
    pb.Cls();
    pb.SetSurfaceFont(UiFonts().back().Handle);
    pb.SetForeColor(0);
    pb.Print(text);
    return pb.Image().copy();
  };
  const QImage kanji = render(QStringLiteral("周"));
  const QImage missing = render(QString(QChar(0x0378)));  // an unassigned code point
  int ink = 0;
  for (int y = 0; y < kanji.height(); ++y)
    for (int x = 0; x < kanji.width(); ++x) ink += kanji.pixel(x, y) != qRgb(255, 255, 255);
  EXPECT_GT(ink, 40);
  EXPECT_NE(kanji, missing);
  EXPECT_NE(kanji, render(QStringLiteral("波")));
}

}  // namespace
