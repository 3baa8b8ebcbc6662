#include "support/Colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace basic {

namespace {

QPalette::ColorRole RoleOf(int index, QPalette::ColorGroup& group) {
  group = QPalette::Active;
  switch (index) {
    case COLOR_WINDOW: return QPalette::Base;
    case COLOR_WINDOWTEXT: return QPalette::WindowText;
    case COLOR_HIGHLIGHT: return QPalette::Highlight;
    case COLOR_HIGHLIGHTTEXT: return QPalette::HighlightedText;
    case COLOR_BTNSHADOW: return QPalette::Mid;
    case COLOR_GRAYTEXT: group = QPalette::Disabled; return QPalette::Text;
    case COLOR_BTNTEXT: return QPalette::ButtonText;
    case COLOR_BTNHIGHLIGHT: return QPalette::Light;
    case COLOR_3DDKSHADOW: return QPalette::Shadow;
    case COLOR_3DLIGHT: return QPalette::Midlight;
    case COLOR_INFOTEXT: return QPalette::ToolTipText;
    case COLOR_INFOBK: return QPalette::ToolTipBase;
    case COLOR_BTNFACE:
    default: return QPalette::Button;
  }
}

}  // namespace

uint32_t SysColor(int index) {
  QPalette::ColorGroup group;
  const QPalette::ColorRole role = RoleOf(index, group);
  const QPalette pal = qGuiApp ? QGuiApplication::palette() : QPalette();
  return FromQRgb(pal.color(group, role).rgb());
}

uint32_t ResolveColor(uint32_t color) {
  if (color & 0x80000000u) return SysColor(static_cast<int>(color & 0xFFu));
  return color & 0x00FFFFFFu;
}

QRgb ToQRgb(uint32_t color) {
  const uint32_t c = ResolveColor(color);
  return qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

uint32_t FromQRgb(QRgb rgb) {
  return static_cast<uint32_t>(qRed(rgb)) | (static_cast<uint32_t>(qGreen(rgb)) << 8) |
         (static_cast<uint32_t>(qBlue(rgb)) << 16);
}

}  // namespace basic
