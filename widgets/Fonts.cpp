#include "widgets/Fonts.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QLocale>
#include <QStringList>
#include <cmath>

#include "support/Settings.h"
#include "widgets/PictureBox.h"

namespace basic {

namespace {

bool g_LanguageChecked = false;
int g_FontOverride = 0;
int g_LangMode = 0;
QString g_DefaultFace;
std::vector<UiFontEntry> g_UiFonts;

const QString kMeiryo = QStringLiteral("メイリオ");
const QString kDefaultFace = QStringLiteral("ＭＳ Ｐゴシック");

// The Windows face names the program asks for map to installed Japanese
// faces (IPA fonts carry the metrics of the MS faces).
void InstallSubstitutes() {
  static bool done = false;
  if (done) return;
  done = true;
  const QStringList gothic{QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")};
  for (const QString& face : {kDefaultFace, QStringLiteral("MS PGothic"), QStringLiteral("ＭＳ ゴシック"),
                              QStringLiteral("MS Gothic"), kMeiryo, QStringLiteral("Meiryo")})
    QFont::insertSubstitutions(face, gothic);
}

}  // namespace

void CheckLanguageModeWith(bool japaneseSystem, bool japaneseFontInstalled) {
  g_LanguageChecked = true;
  g_FontOverride = 0;
  if (!japaneseSystem) {
    g_LangMode = 1;
    return;
  }
  g_LangMode = ReadSetting(QStringLiteral("LangMode"), int32_t{0}).toInt();
  if (g_LangMode != 0) return;
  g_FontOverride = japaneseFontInstalled ? 0 : 1;
}

void CheckLanguageMode() {
  if (g_LanguageChecked) return;
  const bool japanese = QLocale::system().language() == QLocale::Japanese;
  const bool font = !QFontDatabase::families(QFontDatabase::Japanese).isEmpty();
  CheckLanguageModeWith(japanese, font);
}

int FontOverride() { return g_FontOverride; }
int LangMode() { return g_LangMode; }
QString DefaultUiFace() { return g_DefaultFace; }

const std::vector<UiFontEntry>& UiFonts() { return g_UiFonts; }
int32_t UiFontCount() { return static_cast<int32_t>(g_UiFonts.size()); }

int CreateUiFont(float sizePt, int16_t bold, int16_t italic, const QString& faceName) {
  InstallSubstitutes();
  const QString face = faceName.trimmed();
  const double scale = face == kMeiryo ? 1.34 : 1.0;
  const int tpp = TwipsPerPixel();
  UiFontEntry e;
  e.PixelHeight = static_cast<int32_t>(std::nearbyint(sizePt * 20.0 * scale / tpp));
  e.Weight = bold == -1 ? static_cast<int32_t>(std::nearbyint(15.0 / tpp * 700.0)) : 0;
  if (e.PixelHeight <= 0) return 0;
  QFont font(face);
  font.setPixelSize(e.PixelHeight);
  font.setWeight(e.Weight == 0 ? QFont::Normal : static_cast<QFont::Weight>(std::clamp(e.Weight, 1, 1000)));
  font.setItalic(italic == -1);
  e.Handle = font;
  e.SizePt = sizePt;
  e.Bold = bold;
  e.Italic = italic;
  e.FaceName = faceName;
  e.HeightFactor = static_cast<float>(1.0 / scale);
  g_UiFonts.push_back(e);
  return 1;
}

int ApplyUiFont(QWidget* window, int index, const QWidget* control, float sizePt, int16_t bold, int16_t italic,
                const QString& faceName) {
  if (index < -2) return -3;
  if (g_DefaultFace.isEmpty()) g_DefaultFace = kDefaultFace;
  if (g_UiFonts.empty() && !CreateUiFont(9, 0, 0, g_DefaultFace)) return -3;
  QString face = faceName;
  if (index == -1) {
    if (!control) return -3;
    const QFont f = control->font();
    sizePt = static_cast<float>(f.pointSizeF());
    bold = f.bold() ? -1 : 0;
    italic = f.italic() ? -1 : 0;
    face = f.family();
    if (!window) window = const_cast<QWidget*>(control);
  }
  if (face.isEmpty()) face = g_DefaultFace;
  if (sizePt <= 0) sizePt = 9;
  if (index < 0) {
    index = -1;
    for (size_t i = 0; i < g_UiFonts.size(); ++i) {
      const UiFontEntry& e = g_UiFonts[i];
      if (e.FaceName == face && e.SizePt == sizePt && e.Bold == bold && e.Italic == italic) {
        index = static_cast<int>(i);
        break;
      }
    }
    if (index < 0) {
      if (!CreateUiFont(sizePt, bold, italic, face)) return -3;
      index = UiFontCount() - 1;
    }
  }
  if (index >= UiFontCount()) return -3;
  if (window) window->setFont(g_UiFonts[static_cast<size_t>(index)].Handle);
  return index;
}

void DeleteUiFonts() { g_UiFonts.clear(); }

QString FitTextToWidth(const QString& text, const PictureBox& surface, int32_t widthTwips, bool fromRight) {
  if (text.size() < 2 || surface.TextWidth(text) <= widthTwips) return text;
  QString best = fromRight ? text.right(1) : text.left(1);
  for (qsizetype n = 2; n < text.size(); ++n) {
    const QString candidate = fromRight ? text.right(n) : text.left(n);
    if (surface.TextWidth(candidate) > widthTwips) break;
    best = candidate;
  }
  return best;
}

void PlaceNextTo(QWidget* control, const QWidget* reference, int mode, int32_t gap, int crossAlign,
                 int32_t crossValue) {
  if (!control || !reference || mode < 0 || mode > 3) return;
  const int tpp = TwipsPerPixel();
  if (gap == -1) gap = 2 * tpp;
  const QRect r = reference->geometry();
  const int64_t rl = int64_t{r.x()} * tpp, rt = int64_t{r.y()} * tpp, rw = int64_t{r.width()} * tpp,
                rh = int64_t{r.height()} * tpp;
  const int64_t ow = int64_t{control->width()} * tpp, oh = int64_t{control->height()} * tpp;
  int64_t left = int64_t{control->x()} * tpp, top = int64_t{control->y()} * tpp;
  switch (mode) {
    case 0:
      top = rt + rh + gap;
      if (crossAlign == 1) left = rl;
      if (crossAlign == 2) left = crossValue;
      break;
    case 1:
      left = rl + rw + gap;
      if (crossAlign == 1) top = rt;
      if (crossAlign == 2) top = crossValue;
      break;
    case 2:
      top = rt + rh / 2 - oh / 2;
      if (crossAlign == 1) left = rl;
      if (crossAlign == 2) left = crossValue;
      break;
    case 3:
      left = rl + rw - ow + gap;
      if (crossAlign == 1) top = rt + rh + gap;
      if (crossAlign == 2) top = crossValue;
      break;
  }
  control->move(TwipsToPixels(static_cast<double>(left)), TwipsToPixels(static_cast<double>(top)));
}

void SelectComboText(QComboBox* combo, const QString& text) {
  if (!combo) return;
  for (int i = 0; i < combo->count(); ++i)
    if (combo->itemText(i) == text) combo->setCurrentIndex(i);
}

}  // namespace basic
