#include "widgets/Drawing.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "support/Colors.h"
#include "support/Rounding.h"
#include "widgets/PictureBox.h"

namespace basic {

namespace {

std::array<uint32_t, 4> g_ThemeColorCache{};

// a + (b - a) * t per channel, rounded.
uint32_t Mix(uint32_t a, uint32_t b, double t) {
  const RGB16 x = SplitRGB(a), y = SplitRGB(b);
  return ClampRGB(basic::Round32(x.r + (y.r - x.r) * t), basic::Round32(x.g + (y.g - x.g) * t),
                  basic::Round32(x.b + (y.b - x.b) * t));
}

QColor Q(uint32_t color) { return QColor::fromRgb(ToQRgb(color)); }

// The raised one-pixel frame: c1 left and top, the darkest shade right and bottom.
void RaisedFrame(PictureBox& s, uint32_t light, uint32_t dark) {
  const double tpp = TwipsPerPixel(), ws = s.ScaleWidth(), hs = s.ScaleHeight();
  s.Line(0, 0, 0, hs, light);
  s.Line(0, 0, ws, 0, light);
  s.Line(ws - tpp, 0, ws - tpp, hs, dark);
  s.Line(0, hs - tpp, ws, hs - tpp, dark);
}

void HorizontalPixelLine(PictureBox& s, int y, int x1, int x2, uint32_t color) {
  const double tpp = TwipsPerPixel();
  s.Line(x1 * tpp, y * tpp, (x2 + 1) * tpp, y * tpp, color);
}

void VerticalPixelLine(PictureBox& s, int x, int y1, int y2, uint32_t color) {
  const double tpp = TwipsPerPixel();
  s.Line(x * tpp, y1 * tpp, x * tpp, (y2 + 1) * tpp, color);
}

// A ring drawn with a pen whose colour runs from `from` at the top-left to
// `to` at the bottom-right.
void GradientRing(PictureBox& s, const QPainterPath& path, uint32_t from, uint32_t to, double width) {
  QPainter p(&s.Image());
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRectF box = path.boundingRect();
  QLinearGradient g(box.topLeft(), box.bottomRight());
  g.setColorAt(0.0, Q(from));
  g.setColorAt(1.0, Q(to));
  p.setPen(QPen(QBrush(g), width));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  s.Changed();
}

void Pill(PictureBox& s, const std::array<uint32_t, 9>& ramp, uint32_t c1, uint32_t c2, uint32_t c3, int wp, int hp) {
  const int r = std::max(1, hp / 2);
  for (int i = r; i >= 0; --i) {
    const double t = std::sqrt(static_cast<double>(r) * r - static_cast<double>(r - i) * (r - i));
    const uint32_t a = Mix(c1, c2, t / r), b = Mix(c3, c2, t / r);
    const QRectF rect(i + 1, i, std::max(0, wp - 2 * i - 2), std::max(0, hp - 2 * i));
    const double radius = rect.height() / 3;
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    GradientRing(s, path, a, b, 3);
  }
  QPainterPath outer;
  outer.addRoundedRect(QRectF(0.5, 0.5, wp - 1, hp - 1), hp / 3.0, hp / 3.0);
  GradientRing(s, outer, 0xFFFFFF, ramp[8], 1);
}

void Orb(PictureBox& s, const std::array<uint32_t, 9>& ramp, uint32_t c1, uint32_t c2, uint32_t c3, double radius,
         double cx, double cy) {
  const int r = std::max(1, static_cast<int>(radius));
  for (int i = 0; i <= r; ++i) {
    const double rr = r - i;
    const double t = std::sqrt(static_cast<double>(r) * r - rr * rr);
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), rr, rr);
    GradientRing(s, path, Mix(c1, c2, t / r), Mix(c3, c2, t / r), 2);
  }
  QPainterPath outer;
  outer.addEllipse(QPointF(cx, cy), r, r);
  GradientRing(s, outer, 0xFFFFFF, ramp[7], 1);
}

}  // namespace

const std::array<uint32_t, 29> PanelTexture = {
    0xC4BDBE, 0xD7D3D4, 0xCFC8C8, 0xD2CCCD, 0xD0CBCB, 0xCCC4C5, 0xCAC3C4, 0xD2CDCE, 0xC3BBBC, 0xD5D0D1,
    0xCEC9C8, 0xD2CDCE, 0xC7C0C2, 0xCDC6C8, 0xD1CCCC, 0xCFC9CA, 0xD2CCCD, 0xD5CED0, 0xCDC7C6, 0xCFC8C8,
    0xD2CDCE, 0xD8D3D4, 0xCCC6C6, 0xD2CCCD, 0xD7D1D2, 0xC9C2C2, 0xCDC7C8, 0xD0C9C9, 0xD3CECE};

void PrintCaption(PictureBox& surface, double l, double t, double w, double h, const QString& text, int placement,
                  double dx, double dy) {
  const double tw = surface.TextWidth(text), th = surface.TextHeight(text);
  double x = surface.CurrentX(), y = surface.CurrentY();
  switch (placement) {
    case 0:
      x = l - tw - 90 + dx;
      y = t + 60 + dy;
      break;
    case 1:
      x = l + 30 + dx;
      y = t - th - 30 + dy;
      break;
    case 2:
      x = l + w + 30 + dx;
      y = t + 60 + dy;
      break;
    case 3:
      x = l + w / 2 - tw / 2 + dx;
      y = t - th - 30 + dy;
      break;
    case 4:
      x = l + 30 + dx;
      y = t + h + 30 + dy;
      break;
    case 5:
      x = l + w - tw + dx;
      y = t + h + 30 + dy;
      break;
    case 6:
      x = l - tw - 90 + dx;
      y = t + (h - th) / 2 + dy;
      break;
    case 7:
      x = l + w + 30 + dx;
      y = t + (h - th) / 2 + dy;
      break;
    default: break;
  }
  surface.SetCurrentX(x);
  surface.SetCurrentY(y);
  surface.Print(text);
}

void PrintCaption(PictureBox& surface, const QWidget& control, const QString& text, int placement, double dx,
                  double dy) {
  const double tpp = TwipsPerPixel();
  const QRect g = control.geometry();
  PrintCaption(surface, g.x() * tpp, g.y() * tpp, g.width() * tpp, g.height() * tpp, text, placement, dx, dy);
}

RGB16 SplitRGB(uint32_t color) {
  return {static_cast<int16_t>(color & 0xFF), static_cast<int16_t>((color / 256) & 0xFF),
          static_cast<int16_t>((color / 65536) & 0xFF)};
}

uint32_t ClampRGB(int32_t r, int32_t g, int32_t b) {
  const auto c = [](int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  return c(r) + 256 * c(g) + 65536 * c(b);
}

uint32_t AdjustColor(uint32_t color, int32_t dr, int32_t dg, int32_t db, float factor) {
  const RGB16 c = SplitRGB(color);
  if (factor != -1.0f)
    return ClampRGB(basic::Round32(c.r * factor), basic::Round32(c.g * factor), basic::Round32(c.b * factor));
  return ClampRGB(c.r + dr, c.g + dg, c.b + db);
}

void DrawEdgeRect(PictureBox& picture, double left, double top, double width, double height, bool sunken) {
  const auto tpp = static_cast<int64_t>(TwipsPerPixel());
  const auto px = [tpp](double twips) { return static_cast<int>(static_cast<int64_t>(std::nearbyint(twips)) / tpp); };
  picture.DrawEdge(px(left), px(top), px(left + width), px(top + height), sunken);
}

uint32_t ThemeColor(int index) {
  if (index < 0 || index > 3) return 0;
  uint32_t& cached = g_ThemeColorCache[static_cast<size_t>(index)];
  if (cached != 0) return cached;
  static constexpr int kTarget[4] = {255, 200, 110, 60};
  const uint32_t base = index == 0 ? 0xFFFFFF : index == 2 ? SysColor(COLOR_BTNSHADOW) : SysColor(COLOR_BTNFACE);
  const RGB16 c = SplitRGB(base);
  const int a = std::max(1, basic::Round32((c.r + c.g + c.b) / 3.0));
  const double k = kTarget[index] / static_cast<double>(a);
  uint32_t result = ClampRGB(basic::Round32(k * c.r), basic::Round32(k * c.g), basic::Round32(k * c.b));
  if (result == 0) result = 1;  // 0 marks an entry not yet computed
  cached = result;
  return result;
}

void ResetThemeColors() { g_ThemeColorCache.fill(0); }

void SetColorScheme(PictureBox& surface, int scheme, uint32_t fore, uint32_t back) {
  static constexpr uint32_t kBack[] = {0x000000, 0xD5FFF1, 0xA6CAC5, 0x0000FF, 0xB0B0D0, 0x707090, 0x303030};
  static constexpr uint32_t kFore[] = {0, 0x407060, 0x406057, 0xFFFFFF, 0x101060, 0x202060, 0xD0D0D0};
  if (scheme == -1) {
    surface.SetBackColor(back);
    surface.SetForeColor(fore);
  } else if (scheme >= 0 && scheme <= 6) {
    surface.SetBackColor(kBack[scheme]);
    surface.SetForeColor(scheme == 0 ? SysColor(COLOR_BTNFACE) : kFore[scheme]);
  }
}

void BevelFrame(PictureBox& surface, int64_t c1, int64_t c2, int keepBackground, int thickness) {
  if (!keepBackground) PaintBackground(surface, 2, c1, c2);
  const uint32_t first = c1 < 0 ? ThemeColor(0) : static_cast<uint32_t>(c1);
  const uint32_t second = c2 < 0 ? ThemeColor(1) : static_cast<uint32_t>(c2);
  const uint32_t dark = AdjustColor(first, -40, -40, -40, -1), light = AdjustColor(second, 40, 40, 40, -1);
  const int w = surface.PixelWidth(), h = surface.PixelHeight();
  for (int d = 0; d < thickness; ++d) {
    HorizontalPixelLine(surface, d, d, w - 1 - d, light);
    VerticalPixelLine(surface, d, d, h - 1 - d, light);
    HorizontalPixelLine(surface, h - 1 - d, d, w - 1 - d, dark);
    VerticalPixelLine(surface, w - 1 - d, d, h - 1 - d, dark);
  }
}

std::array<uint32_t, 9> ShadeRamp(uint32_t c1, uint32_t c2, uint32_t c3) {
  const RGB16 a = SplitRGB(c1), b = SplitRGB(c2), c = SplitRGB(c3);
  const auto mix = [](int16_t x, int16_t y, double fx, double fy) {
    return static_cast<int16_t>(std::nearbyint(fx * x + fy * y));
  };
  std::array<uint32_t, 9> ramp{};
  const auto at = [&](int16_t RGB16::*ch, int i) -> int16_t {
    switch (i) {
      case 0: return a.*ch;
      case 1: return mix(a.*ch, b.*ch, 0.66, 0.33);
      case 2: return mix(a.*ch, b.*ch, 0.33, 0.66);
      case 3: return b.*ch;
      case 4: return mix(b.*ch, c.*ch, 0.66, 0.33);
      case 5: return mix(b.*ch, c.*ch, 0.33, 0.66);
      case 6: return c.*ch;
      case 7: return static_cast<int16_t>(std::nearbyint(0.66 * c.*ch));
      default: return static_cast<int16_t>(std::nearbyint(0.33 * c.*ch));
    }
  };
  for (int i = 0; i < 9; ++i)
    ramp[static_cast<size_t>(i)] = ClampRGB(at(&RGB16::r, i), at(&RGB16::g, i), at(&RGB16::b, i));
  return ramp;
}

uint32_t PanelRowColor(int style, int i, int hp, uint32_t c2) {
  const RGB16 t0 = SplitRGB(PanelTexture[static_cast<size_t>(((i % 29) + 29) % 29)]);
  int32_t tr = t0.r, tg = t0.g, tb = t0.b;
  if (style == 15) {
    int32_t shade = 0;
    if (i < 20) shade = 3 * (20 - i);
    else if (i > hp - 20) shade = 3 * (hp - i - 20);
    tr += shade;
    tg += shade;
    tb += shade;
  }
  const RGB16 c = SplitRGB(c2);
  const auto ch = [](int16_t base, int32_t t) { return basic::Round32(base / 275.0 * t + base * 0.25); };
  return ClampRGB(ch(c.r, tr), ch(c.g, tg), ch(c.b, tb));
}

void PaintBackground(PictureBox& s, int style, int64_t c1in, int64_t c2in, int64_t c3in, double a5, double a6,
                     double a7) {
  if (style < -2 || style > 15) return;
  const double tpp = TwipsPerPixel();
  const double ws = s.ScaleWidth(), hs = s.ScaleHeight();
  const int wp = basic::Round32(ws) / static_cast<int>(tpp), hp = basic::Round32(hs) / static_cast<int>(tpp);
  const uint32_t c1 = c1in == -1 ? ThemeColor(0) : static_cast<uint32_t>(c1in);
  const uint32_t c2 = c2in == -1 ? ThemeColor(1) : static_cast<uint32_t>(c2in);
  const uint32_t c3 = c3in == -1 ? ThemeColor(2) : static_cast<uint32_t>(c3in);
  const std::array<uint32_t, 9> ramp = ShadeRamp(c1, c2, c3);

  switch (style) {
    case -2: s.SetBackColor(c2); return;
    case -1: RaisedFrame(s, c1, ramp[8]); return;
    case 0:
    case 10: {
      const int n = style == 0 ? 20 : 8;
      for (int i = 0; i <= n; ++i) s.Line(0, i * tpp, ws, i * tpp, Mix(c1, c2, static_cast<double>(i) / n));
      const double base = hs - n * tpp;
      for (int i = 0; i <= n; ++i)
        s.Line(0, base + i * tpp, ws, base + i * tpp, Mix(c2, c3, static_cast<double>(i) / n));
      RaisedFrame(s, c1, ramp[8]);
      return;
    }
    case 1:
    case 11:
      for (int d = 0; d < 3; ++d) {
        HorizontalPixelLine(s, d, d, wp - 1 - d, ramp[static_cast<size_t>(d)]);
        VerticalPixelLine(s, d, d, hp - 1 - d, ramp[static_cast<size_t>(d)]);
        HorizontalPixelLine(s, hp - 1 - d, d, wp - 1 - d, ramp[static_cast<size_t>(6 - d)]);
        VerticalPixelLine(s, wp - 1 - d, d, hp - 1 - d, ramp[static_cast<size_t>(6 - d)]);
      }
      if (style == 11) RaisedFrame(s, c1, ramp[8]);
      return;
    case 2: {
      const int n = std::max(1, basic::Round32(hs + ws + 20) / static_cast<int>(tpp));
      // Each diagonal runs one step past the top edge so that its last pixel
      // (on row 0) is drawn too.
      for (int i = 0; i <= n; ++i) s.Line(0, i * tpp, (i + 1) * tpp, -tpp, Mix(c1, c2, static_cast<double>(i) / n));
      return;
    }
    case 3:
    case 4: {
      const RGB16 a = SplitRGB(c2), b = SplitRGB(c3);
      const double span = std::max(wp, 1);
      const double sr = std::abs(b.r - a.r) / span, sg = std::abs(b.g - a.g) / span, sb = std::abs(b.b - a.b) / span;
      const RGB16 start = style == 3 ? a : b;
      const double sign = style == 3 ? -1 : 1;
      for (int i = 0; i <= wp; ++i)
        s.Line(i * tpp, 0, i * tpp, hs,
               ClampRGB(basic::Round32(start.r + sign * sr * i), basic::Round32(start.g + sign * sg * i),
                        basic::Round32(start.b + sign * sb * i)));
      return;
    }
    case 5:
    case 6:
    case 7:
    case 8: {
      const bool rows = style == 5 || style == 7;
      const int n = std::max(1, basic::Round32(rows ? hs : ws) / (2 * static_cast<int>(tpp)));
      for (int i = 0; i <= n; ++i) {
        const double t = 1.0 - static_cast<double>(i) / n;  // s of the gradient
        const uint32_t near = Mix(c1, c2, t), far = Mix(c3, c2, t);
        for (const auto& [line, color] : {std::pair{n - i, near}, std::pair{n + i, far}}) {
          if (rows) s.Line(0, line * tpp, ws + 20 * tpp, line * tpp, color);
          else s.Line(line * tpp, 0, line * tpp, hs + 20 * tpp, color);
        }
      }
      if (style >= 7) RaisedFrame(s, c1, ramp[8]);
      return;
    }
    case 9: {
      // Soft vertical gradient: shade 0 at the top to shade 1 at the middle
      // and shade 2 at the bottom, on a shade-1 background.
      s.SetBackColor(ramp[1]);
      s.Cls();
      const int half = std::max(1, hp / 2);
      for (int y = 0; y <= hp; ++y) {
        const uint32_t color = y <= half
                                   ? Mix(ramp[0], ramp[1], static_cast<double>(y) / half)
                                   : Mix(ramp[1], ramp[2], static_cast<double>(y - half) / std::max(1, hp - half));
        s.Line(0, y * tpp, ws, y * tpp, color);
      }
      return;
    }
    case 12: Pill(s, ramp, c1, c2, c3, wp, hp); return;
    case 13: {
      const double radius = a5 == kUnset ? hp / 2.0 : a5 / tpp;
      const double cx = a6 == kUnset ? wp / 2.0 : a6 / tpp;
      const double cy = a7 == kUnset ? hp / 2.0 : a7 / tpp;
      Orb(s, ramp, c1, c2, c3, radius, cx, cy);
      return;
    }
    case 14:
    case 15: {
      for (int i = 0; i <= hp; ++i)
        s.Line(tpp, i * tpp, ws, i * tpp, PanelRowColor(style, i, hp, c2), LineKind::FilledBox);
      // Raised two-pixel border.
      for (int d = 0; d < 2; ++d) {
        HorizontalPixelLine(s, d, 0, wp - 1, 0xFFFFFF);
        VerticalPixelLine(s, d, 0, hp - 1, 0xFFFFFF);
      }
      HorizontalPixelLine(s, hp - 2, 1, wp - 1, 0xB0B0B0);
      VerticalPixelLine(s, wp - 2, 1, hp - 1, 0xB0B0B0);
      HorizontalPixelLine(s, hp - 1, 0, wp - 1, 0x606060);
      VerticalPixelLine(s, wp - 1, 0, hp - 1, 0x606060);
      return;
    }
    default: return;
  }
}

void SetControlColors(QWidget* control, uint32_t fore, uint32_t back) {
  if (!control) return;
  const QColor text = QColor::fromRgb(ToQRgb(fore)), background = QColor::fromRgb(ToQRgb(back));
  QPalette p = control->palette();
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::Base, background);
  p.setColor(QPalette::Button, background);
  control->setPalette(p);
}

}  // namespace basic
