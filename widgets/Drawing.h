#pragma once
// The colour and painting toolkit shared by the window, the meter and the
// controls: colour packing and adjustment, theme-derived colours, fixed
// colour schemes, captions beside controls, 3-D edges, a bevelled frame and
// a background painter with numbered styles. Coordinates are twips unless
// said otherwise; colours are 0x00BBGGRR.
#include <QString>
#include <array>
#include <cstdint>

class QWidget;

namespace basic {

class PictureBox;

// Prints text on the surface beside a control whose position and size
// (twips, in the surface's coordinates) are left, top, width, height.
// Placement: 0 left/top, 1 above/left, 2 right/top, 3 above/centred,
// 4 below/left, 5 below/right, 6 left/middle, 7 right/middle; other values
// print at the current text position.
void PrintCaption(PictureBox& surface, double left, double top, double width, double height, const QString& text,
                  int placement, double dx = 0, double dy = 0);
// The same beside a widget that shares the surface's parent.
void PrintCaption(PictureBox& surface, const QWidget& control, const QString& text, int placement, double dx = 0,
                  double dy = 0);

struct RGB16 {
  int16_t r, g, b;
};
RGB16 SplitRGB(uint32_t color);
// Packs, clamping each channel to 0..255.
uint32_t ClampRGB(int32_t r, int32_t g, int32_t b);
// Scales each channel by factor, or (factor -1) adds dr, dg, db; then clamps.
uint32_t AdjustColor(uint32_t color, int32_t dr, int32_t dg, int32_t db, float factor);

// A raised or sunken 3-D edge around a rectangle given in twips.
void DrawEdgeRect(PictureBox& picture, double left, double top, double width, double height, bool sunken);

// Default colours from the button colours: 0 white, 1 light (brightness 200),
// 2 shadow (110), 3 dark (60). Computed once, then cached.
uint32_t ThemeColor(int index);
// Forgets the cached theme colours (when the palette changes; tests).
void ResetThemeColors();

// Sets BackColor, then ForeColor, from scheme -1 (the arguments) or 0..6.
void SetColorScheme(PictureBox& surface, int scheme, uint32_t fore, uint32_t back);

// A frame n pixels thick in darkened c1 and lightened c2, over a style 2
// background unless keepBackground is set.
void BevelFrame(PictureBox& surface, int64_t c1, int64_t c2, int keepBackground, int thickness);

inline constexpr int64_t kUnset = -99999;

// Paints a background style (-2 .. 15) from three colours (-1: the theme's).
// a5..a7 are the orb's radius and centre for style 13 (kUnset: from the surface).
void PaintBackground(PictureBox& surface, int style, int64_t c1 = -1, int64_t c2 = -1, int64_t c3 = -1,
                     double a5 = kUnset, double a6 = kUnset, double a7 = kUnset);

// The 29-colour grain of the textured panel.
extern const std::array<uint32_t, 29> PanelTexture;
// Colour of pixel row i of a textured panel (style 14 or 15) of height hp pixels.
uint32_t PanelRowColor(int style, int i, int hp, uint32_t c2);

// The nine-shade ramp built from c1, c2 and c3 (index 0 = c1, 3 = c2, 6 = c3).
std::array<uint32_t, 9> ShadeRamp(uint32_t c1, uint32_t c2, uint32_t c3);

// Gives a standard control a text and a background colour (0x00BBGGRR) in
// every role a style paints it with: text fields and drop-down lists use
// Base and Text, buttons and non-editable combo boxes Button and ButtonText.
void SetControlColors(QWidget* control, uint32_t fore, uint32_t back);

}  // namespace basic
