// What the window shows of its own texts and controls.
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <gtest/gtest.h>

#include "controls/UC_Buttons/UC_Buttons.h"
#include "tests/window/FrmMainFixture.h"
#include "widgets/PictureBox.h"

using zarin_test::FrmMainTest;

namespace {

// The room the style leaves for the text of a closed combo box (Qt's
// styles draw it a pixel in from either side of the edit field).
int TextRoom(QComboBox* box) {
  QStyleOptionComboBox option;
  option.initFrom(box);
  option.editable = box->isEditable();
  option.currentText = box->currentText();
  option.subControls = QStyle::SC_All;
  return box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width() - 2;
}

TEST_F(FrmMainTest, EveryChoiceOfTheModeBoxShowsWholeWhenClosed) {
  FrmMain w;
  w.show();
  for (int i = 0; i < w.ComboMode->count(); ++i) {
    w.ComboMode->setCurrentIndex(i);
    const QString text = w.ComboMode->currentText();
    EXPECT_GE(TextRoom(w.ComboMode), w.ComboMode->fontMetrics().horizontalAdvance(text)) << text.toStdString();
  }
  // It still ends before the results list begins.
  EXPECT_LT(w.ComboMode->geometry().right(), w.LV->geometry().left());
}

TEST_F(FrmMainTest, TheControlsOnTheSpectrumKeepTheirPlacesOnIt) {
  FrmMain w;
  w.show();
  w.resize(1000, 560);
  // The button keeps its design distance from the picture's top right corner.
  const QRect button = w.ClearButton->geometry();
  EXPECT_EQ(button.top(), 11);
  EXPECT_EQ(w.PictureFFT->width() - 1 - button.right(), 11);
  EXPECT_EQ(w.TextFreq->geometry(), QRect(7, 7, 60, 18));
  // Drawn over the white picture: the button's face is not white.
  const QImage picture = w.PictureFFT->grab().toImage();
  EXPECT_NE(picture.pixel(button.center()) & 0xFFFFFF, 0xFFFFFFu);
}

}  // namespace
