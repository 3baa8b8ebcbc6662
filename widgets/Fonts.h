#pragma once
// Fonts for Japanese text, the process-wide font cache and small layout
// helpers for controls. Booleans handed to these functions use -1 for true.
#include <QFont>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

class QComboBox;

namespace basic {

class PictureBox;

// Decides once per run whether the standard controls must be given a
// Japanese font explicitly: on a Japanese system with "LangMode" 0, when no
// installed font covers Japanese.
void CheckLanguageMode();
// The same decision from given facts (tests, and the call above).
void CheckLanguageModeWith(bool japaneseSystem, bool japaneseFontInstalled);
int FontOverride();
int LangMode();

// The face used when none is named.
QString DefaultUiFace();

struct UiFontEntry {
  QFont Handle;
  float SizePt = 9;
  int16_t Bold = 0;
  int16_t Italic = 0;
  QString FaceName;
  float HeightFactor = 1;  // 1 / 1.34 for "メイリオ", whose lines are taller
  int32_t PixelHeight = 0;
  int32_t Weight = 0;  // 0: the default weight
};

// The cache; entries live until DeleteUiFonts.
const std::vector<UiFontEntry>& UiFonts();
int32_t UiFontCount();

// Creates a font and appends it to the cache: 1, or 0 on failure.
int CreateUiFont(float sizePt, int16_t bold, int16_t italic, const QString& faceName);
// Gives window a cached font: index >= 0 that entry, -1 the attributes of
// control, -2 the attributes given (found in the cache or created). Returns
// the index used, or -3 on failure.
int ApplyUiFont(QWidget* window, int index, const QWidget* control = nullptr, float sizePt = 9, int16_t bold = 0,
                int16_t italic = 0, const QString& faceName = QString());
void DeleteUiFonts();

// The text cut (from the left, or keeping its end) to fit widthTwips on the surface.
QString FitTextToWidth(const QString& text, const PictureBox& surface, int32_t widthTwips, bool fromRight);

// Places control next to reference (twips; gap -1 = 2 pixels): mode 0 below,
// 1 to the right, 2 centred beside, 3 right-aligned below. Cross alignment:
// 0 leave, 1 align with the reference, 2 set to crossValue.
void PlaceNextTo(QWidget* control, const QWidget* reference, int mode, int32_t gap = -1, int crossAlign = 1,
                 int32_t crossValue = 0);

// Adds element `index` to a control array beside element index - 1.
template <typename T>
T* LoadNextControl(std::vector<T*>& array, int index, int mode, bool visible, bool applyFont, int32_t gap = -1) {
  if (index < 1 || static_cast<size_t>(index) > array.size() || !array[static_cast<size_t>(index - 1)]) return nullptr;
  T* previous = array[static_cast<size_t>(index - 1)];
  T* element = new T(previous->parentWidget());
  if (static_cast<size_t>(index) == array.size()) array.resize(array.size() + 1);
  array[static_cast<size_t>(index)] = element;
  element->resize(previous->size());
  QWidget::setTabOrder(previous, element);
  if (applyFont) {
    if (index == 1) ApplyUiFont(array[0], -2);
    ApplyUiFont(element, -2);
  }
  if (mode >= 0) PlaceNextTo(element, previous, mode, gap, 1);
  element->setVisible(visible);
  return element;
}

// Selects every entry whose text equals text (the last one wins).
void SelectComboText(QComboBox* combo, const QString& text);

}  // namespace basic
