#include "controls/UC_Buttons/IconSheet.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "support/Colors.h"
#include "widgets/PictureBox.h"

bool IconKeepsColour(int icon) {
  switch (icon) {
    case 8:
    case 9:
    case 10:
    case 11:
    case 13:
    case 18:
    case 19:
    case 20:
    case 23:
    case 24: return true;
    default: return false;
  }
}

namespace {

enum class Glyph { Play, Stop, Pause, Record, Rewind, Forward, Start, End, Up, Down, Loop, Eject };

// The glyph of each icon and whether it is drawn in the "active" colour.
Glyph GlyphOf(int icon) {
  static constexpr Glyph kGlyphs[26] = {
      Glyph::Record, Glyph::Play,   Glyph::Pause, Glyph::Stop,    Glyph::Start, Glyph::Rewind, Glyph::Forward,
      Glyph::End,    Glyph::Record, Glyph::Play,  Glyph::Pause,   Glyph::Stop,  Glyph::Loop,   Glyph::Loop,
      Glyph::Eject,  Glyph::Start,  Glyph::End,   Glyph::Up,      Glyph::Start, Glyph::End,    Glyph::Up,
      Glyph::Down,   Glyph::Rewind, Glyph::Down,  Glyph::Forward, Glyph::Eject};
  return kGlyphs[icon];
}

QPainterPath PathOf(Glyph g) {
  QPainterPath p;
  const auto tri = [&](QPointF a, QPointF b, QPointF c) { p.addPolygon(QPolygonF{a, b, c, a}); };
  switch (g) {
    case Glyph::Play: tri({5, 3}, {15, 9}, {5, 15}); break;
    case Glyph::Stop: p.addRect(4, 4, 10, 10); break;
    case Glyph::Pause:
      p.addRect(4, 3, 3.5, 12);
      p.addRect(10.5, 3, 3.5, 12);
      break;
    case Glyph::Record: p.addEllipse(QPointF(9, 9), 5.5, 5.5); break;
    case Glyph::Rewind:
      tri({9, 4}, {2, 9}, {9, 14});
      tri({16, 4}, {9, 9}, {16, 14});
      break;
    case Glyph::Forward:
      tri({2, 4}, {9, 9}, {2, 14});
      tri({9, 4}, {16, 9}, {9, 14});
      break;
    case Glyph::Start:
      p.addRect(3, 4, 2.5, 10);
      tri({15, 4}, {6, 9}, {15, 14});
      break;
    case Glyph::End:
      tri({3, 4}, {12, 9}, {3, 14});
      p.addRect(12.5, 4, 2.5, 10);
      break;
    case Glyph::Up: tri({3, 13}, {9, 4}, {15, 13}); break;
    case Glyph::Down: tri({3, 5}, {9, 14}, {15, 5}); break;
    case Glyph::Loop:
      p.addEllipse(QPointF(9, 9), 6, 6);
      p.addEllipse(QPointF(9, 9), 3.5, 3.5);
      break;
    case Glyph::Eject:
      tri({3, 10}, {9, 3}, {15, 10});
      p.addRect(3, 12, 12, 2.5);
      break;
  }
  p.setFillRule(Qt::OddEvenFill);
  return p;
}

}  // namespace

void DrawIconSheet(basic::PictureBox& sheet) {
  sheet.SetPixelSize(26 * 18, 36);
  QImage& img = sheet.Image();
  img.fill(Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.fillRect(0, 18, 26 * 18, 18, Qt::white);
  for (int n = 0; n < 26; ++n) {
    const QPainterPath path = PathOf(GlyphOf(n));
    // Active icons (the alternates shown while pressed) are green, the
    // record icons red, the rest grey so that they follow the button colour.
    QColor colour(0x50, 0x50, 0x50);
    if (IconKeepsColour(n)) colour = GlyphOf(n) == Glyph::Record ? QColor(0xD0, 0x20, 0x20) : QColor(0x10, 0xA0, 0x30);
    p.save();
    p.translate(18 * n, 0);
    p.setBrush(colour);
    p.drawPath(path);
    p.translate(0, 18);
    p.setBrush(Qt::black);
    p.drawPath(path);
    p.restore();
  }
  sheet.Changed();
}
