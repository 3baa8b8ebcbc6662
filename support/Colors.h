#pragma once
// Colour values as the program stores them: 0x00BBGGRR. A value with the top
// bit set (0x800000nn) names a system colour, resolved through the
// application palette.
#include <QRgb>
#include <cstdint>

namespace basic {

// System colour indexes understood by SysColor (the classic desktop numbering).
enum SysColorIndex : int {
  COLOR_SCROLLBAR = 0,
  COLOR_BACKGROUND = 1,
  COLOR_WINDOW = 5,
  COLOR_WINDOWTEXT = 8,
  COLOR_HIGHLIGHT = 13,
  COLOR_HIGHLIGHTTEXT = 14,
  COLOR_BTNFACE = 15,
  COLOR_BTNSHADOW = 16,
  COLOR_GRAYTEXT = 17,
  COLOR_BTNTEXT = 18,
  COLOR_BTNHIGHLIGHT = 20,
  COLOR_3DDKSHADOW = 21,
  COLOR_3DLIGHT = 22,
  COLOR_INFOTEXT = 23,
  COLOR_INFOBK = 24,
};

// The colour (0x00BBGGRR) of a system colour index, from the application palette.
uint32_t SysColor(int index);

// A stored colour with any system colour resolved: always 0x00BBGGRR.
uint32_t ResolveColor(uint32_t color);

// Conversions between 0x00BBGGRR (system colours resolved) and Qt's 0xAARRGGBB.
QRgb ToQRgb(uint32_t color);
uint32_t FromQRgb(QRgb rgb);

}  // namespace basic
