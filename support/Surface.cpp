#include "support/Surface.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "support/Colors.h"

namespace basic {

namespace {

int g_TwipsPerPixel = 15;
int g_MousePointer = vbDefault;

QRgb Combine(QRgb dst, QRgb src, BlitOp op) {
  switch (op) {
    case BlitOp::And: return 0xFF000000u | (dst & src);
    case BlitOp::Or: return 0xFF000000u | (dst | src);
    case BlitOp::Xor: return 0xFF000000u | ((dst ^ src) & 0x00FFFFFFu);
    case BlitOp::Copy:
    default: return src;
  }
}

}  // namespace

int TwipsPerPixel() { return g_TwipsPerPixel; }
void SetTwipsPerPixel(int twipsPerPixel) { g_TwipsPerPixel = twipsPerPixel > 0 ? twipsPerPixel : 15; }

int ScreenTwipsPerPixel() {
  const QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
  if (!screen) return 15;
  const double dpi = screen->logicalDotsPerInchX();
  if (!(dpi > 0)) return 15;
  return std::max(1, static_cast<int>(std::nearbyint(1440.0 / dpi)));
}

namespace {
int Pixels(double twips, int twipsPerPixel) {
  const double px = std::nearbyint(twips / twipsPerPixel);
  return static_cast<int>(std::clamp(px, -1.0e9, 1.0e9));
}
}  // namespace

int TwipsToPixels(double twips) { return Pixels(twips, g_TwipsPerPixel); }

double PixelsToTwips(double pixels) { return pixels * g_TwipsPerPixel; }

void DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void SetMousePointer(int pointer) {
  if (!qGuiApp) return;
  const bool busy = pointer == vbHourglass;
  const bool wasBusy = g_MousePointer == vbHourglass;
  if (busy && !wasBusy) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  if (!busy && wasBusy) QGuiApplication::restoreOverrideCursor();
  g_MousePointer = busy ? vbHourglass : vbDefault;
}

int MousePointer() { return g_MousePointer; }

Surface::Surface() {
  EnsureImageSize(1, 1);
  m_Image.fill(ToQRgb(m_BackColor));
}

Surface::~Surface() = default;

void Surface::SetPixelSize(int width, int height) { EnsureImageSize(std::max(1, width), std::max(1, height)); }

void Surface::SetTwipsPerPixel(int twipsPerPixel) {
  m_TwipsPerPixel = twipsPerPixel > 0 ? twipsPerPixel : kPictureTwipsPerPixel;
  ApplyFontDpi();
}

int Surface::ToPixels(double twips) const { return Pixels(twips, TwipsPerPixel()); }

double Surface::ScaleWidth() const { return ToTwips(Synced().width()); }
double Surface::ScaleHeight() const { return ToTwips(Synced().height()); }
void Surface::EnsureImageSize(int width, int height) const {
  if (!m_Image.isNull() && m_Image.width() == width && m_Image.height() == height) return;
  // Keep what was drawn where the old and new sizes overlap.
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(ToQRgb(m_BackColor));
  if (!m_Image.isNull()) {
    QPainter p(&image);
    p.drawImage(0, 0, m_Image);
  }
  m_Image = image;
  ApplyFontDpi();
  const_cast<Surface*>(this)->Changed();
}

void Surface::ApplyFontDpi() const {
  // Text is measured and drawn at the dpi that matches the surface's twips
  // per pixel, so that point sizes and twips agree whatever the screen says.
  const int dpm = static_cast<int>(std::lround(1440.0 / TwipsPerPixel() / 0.0254));
  m_Image.setDotsPerMeterX(dpm);
  m_Image.setDotsPerMeterY(dpm);
}

void Surface::Cls() {
  Synced().fill(ToQRgb(m_BackColor));
  m_CurrentX = 0;
  m_CurrentY = 0;
  Changed();
}

void Surface::PlotPixel(int x, int y, QRgb pen) {
  if (x < 0 || y < 0 || x >= m_Image.width() || y >= m_Image.height()) return;
  QRgb* line = reinterpret_cast<QRgb*>(m_Image.scanLine(y));
  QRgb& d = line[x];
  switch (m_DrawMode) {
    case vbInvert: d = 0xFF000000u | (~d & 0x00FFFFFFu); break;
    case vbXorPen: d = 0xFF000000u | ((d ^ pen) & 0x00FFFFFFu); break;
    case vbMaskPen: d = 0xFF000000u | (d & pen); break;
    case vbNop: break;
    case vbMergePen: d = 0xFF000000u | (d | pen); break;
    case vbCopyPen:
    default: d = pen; break;
  }
}

void Surface::Plot(int x, int y, uint32_t color) {
  const QRgb pen = ToQRgb(color);
  if (m_DrawWidth <= 1) {
    PlotPixel(x, y, pen);
    return;
  }
  // A wide pen is a square dot centred on the point.
  const int x0 = x - (m_DrawWidth - 1) / 2;
  const int y0 = y - (m_DrawWidth - 1) / 2;
  for (int j = 0; j < m_DrawWidth; ++j)
    for (int i = 0; i < m_DrawWidth; ++i) PlotPixel(x0 + i, y0 + j, pen);
}

void Surface::PenLine(int x1, int y1, int x2, int y2, uint32_t color) {
  Synced();
  // Bresenham; the last point is left out, as a pen line-to does.
  // A line reaching far outside the image is first cut to a rectangle a
  // little larger than the image (the cut ends are never visible), so that
  // wild coordinates cost nothing.
  const int margin = m_DrawWidth + 2;
  const int left = -margin, top = -margin;
  const int right = m_Image.width() + margin, bottom = m_Image.height() + margin;
  const auto inside = [&](int x, int y) { return x >= left && x <= right && y >= top && y <= bottom; };
  if (!inside(x1, y1) || !inside(x2, y2)) {
    double t0 = 0, t1 = 1;
    const double ddx = static_cast<double>(x2) - x1, ddy = static_cast<double>(y2) - y1;
    const double p[4] = {-ddx, ddx, -ddy, ddy};
    const double q[4] = {static_cast<double>(x1) - left, static_cast<double>(right) - x1, static_cast<double>(y1) - top,
                         static_cast<double>(bottom) - y1};
    for (int k = 0; k < 4; ++k) {
      if (p[k] == 0) {
        if (q[k] < 0) return;
        continue;
      }
      const double r = q[k] / p[k];
      if (p[k] < 0) t0 = std::max(t0, r);
      else t1 = std::min(t1, r);
    }
    if (t0 > t1) return;
    const int cx1 = static_cast<int>(std::lround(x1 + t0 * ddx)), cy1 = static_cast<int>(std::lround(y1 + t0 * ddy));
    const int cx2 = static_cast<int>(std::lround(x1 + t1 * ddx)), cy2 = static_cast<int>(std::lround(y1 + t1 * ddy));
    if (inside(cx1, cy1) && inside(cx2, cy2)) PenLine(cx1, cy1, cx2, cy2, color);
    return;
  }
  const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
  const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  int x = x1, y = y1;
  while (!(x == x2 && y == y2)) {
    Plot(x, y, color);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void Surface::FillRect(int x1, int y1, int x2, int y2, uint32_t color) {
  Synced();
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, m_Image.width() - 1);
  y2 = std::min(y2, m_Image.height() - 1);
  const QRgb pen = ToQRgb(color);
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x) PlotPixel(x, y, pen);
}

void Surface::Line(double x1, double y1, double x2, double y2, uint32_t color, LineKind kind) {
  const int px1 = ToPixels(x1), py1 = ToPixels(y1);
  const int px2 = ToPixels(x2), py2 = ToPixels(y2);
  switch (kind) {
    case LineKind::Line: PenLine(px1, py1, px2, py2, color); break;
    case LineKind::FilledBox: FillRect(px1, py1, px2, py2, color); break;
    case LineKind::Box: {
      // Outline with both corners included; a wide pen grows inwards.
      const int l = std::min(px1, px2), r = std::max(px1, px2);
      const int t = std::min(py1, py2), b = std::max(py1, py2);
      const int w = m_DrawWidth;
      FillRect(l, t, r, std::min(b, t + w - 1), color);
      if (b - w + 1 > t + w - 1) FillRect(l, b - w + 1, r, b, color);
      if (b - w >= t + w) {
        FillRect(l, t + w, std::min(r, l + w - 1), b - w, color);
        if (r - w + 1 > l + w - 1) FillRect(r - w + 1, t + w, r, b - w, color);
      }
      break;
    }
  }
  m_CurrentX = x2;
  m_CurrentY = y2;
  Changed();
}

void Surface::SetFontName(const QString& name) { m_Font.setFamily(name); }
void Surface::SetFontSize(double points) {
  if (points > 0) m_Font.setPointSizeF(points);
}
void Surface::SetFontBold(bool bold) { m_Font.setBold(bold); }
void Surface::SetFontItalic(bool italic) { m_Font.setItalic(italic); }
void Surface::SetSurfaceFont(const QFont& font) { m_Font = font; }

double Surface::TextWidth(const QString& text) const {
  const QFontMetricsF fm(m_Font, &Synced());
  double widest = 0;
  for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, fm.horizontalAdvance(line));
  return ToTwips(std::nearbyint(widest));
}

double Surface::TextHeight(const QString& text) const {
  const QFontMetricsF fm(m_Font, &Synced());
  const auto lines = static_cast<double>(text.count(QLatin1Char('\n')) + 1);
  return ToTwips(std::nearbyint(fm.height()) * lines);
}

void Surface::Print(const QString& text, bool newLine) {
  const QFontMetricsF fm(m_Font, &Synced());
  {
    QPainter p(&m_Image);
    p.setFont(m_Font);
    p.setPen(QColor::fromRgb(ToQRgb(m_ForeColor)));
    const double x = ToPixels(m_CurrentX);
    const double y = ToPixels(m_CurrentY);
    p.drawText(QPointF(x, y + fm.ascent()), text);
  }
  if (newLine) {
    m_CurrentX = 0;
    m_CurrentY += TextHeight(text);
  } else {
    m_CurrentX += TextWidth(text);
  }
  Changed();
}

void Surface::MoveTo(int x, int y) {
  m_PenX = x;
  m_PenY = y;
}

void Surface::LineTo(int x, int y) {
  PenLine(m_PenX, m_PenY, x, y, m_ForeColor);
  m_PenX = x;
  m_PenY = y;
  Changed();
}

uint32_t Surface::Pixel(int x, int y) const {
  Synced();
  if (x < 0 || y < 0 || x >= m_Image.width() || y >= m_Image.height()) return kInvalidColor;
  return FromQRgb(m_Image.pixel(x, y));
}

void Surface::SetPixel(int x, int y, uint32_t color) {
  Synced();
  if (x < 0 || y < 0 || x >= m_Image.width() || y >= m_Image.height()) return;
  m_Image.setPixel(x, y, ToQRgb(color));
  Changed();
}

void Surface::BitBlt(int dx, int dy, int width, int height, const Surface& src, int sx, int sy, BlitOp op) {
  StretchBlt(dx, dy, width, height, src, sx, sy, width, height, op);
}

void Surface::StretchBlt(int dx, int dy, int dw, int dh, const Surface& src, int sx, int sy, int sw, int sh,
                         BlitOp op) {
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  Synced();
  // Copy the source first: the source may be this very surface.
  const QImage source = src.Synced().copy();
  const int srcW = source.width(), srcH = source.height();
  for (int j = 0; j < dh; ++j) {
    const int y = dy + j;
    if (y < 0 || y >= m_Image.height()) continue;
    const int syj = sy + static_cast<int>(static_cast<int64_t>(j) * sh / dh);
    if (syj < 0 || syj >= srcH) continue;
    const QRgb* sline = reinterpret_cast<const QRgb*>(source.constScanLine(syj));
    QRgb* dline = reinterpret_cast<QRgb*>(m_Image.scanLine(y));
    for (int i = 0; i < dw; ++i) {
      const int x = dx + i;
      if (x < 0 || x >= m_Image.width()) continue;
      const int sxi = sx + static_cast<int>(static_cast<int64_t>(i) * sw / dw);
      if (sxi < 0 || sxi >= srcW) continue;
      dline[x] = Combine(dline[x], sline[sxi], op);
    }
  }
  Changed();
}

void Surface::DrawEdge(int x1, int y1, int x2, int y2, bool sunken) {
  if (x2 - x1 < 2 || y2 - y1 < 2) return;
  const uint32_t light = SysColor(COLOR_3DLIGHT), hilight = SysColor(COLOR_BTNHIGHLIGHT);
  const uint32_t shadow = SysColor(COLOR_BTNSHADOW), dark = SysColor(COLOR_3DDKSHADOW);
  // Outer ring, then inner ring: top-left colour, bottom-right colour.
  const uint32_t outerTL = sunken ? shadow : light, outerBR = sunken ? hilight : dark;
  const uint32_t innerTL = sunken ? dark : hilight, innerBR = sunken ? light : shadow;
  const int saveMode = m_DrawMode, saveWidth = m_DrawWidth;
  m_DrawMode = vbCopyPen;
  m_DrawWidth = 1;
  auto ring = [&](int l, int t, int r, int b, uint32_t tl, uint32_t br) {
    FillRect(l, t, r - 1, t, tl);  // top
    FillRect(l, t, l, b - 1, tl);  // left
    FillRect(l, b, r, b, br);      // bottom
    FillRect(r, t, r, b, br);      // right
  };
  ring(x1, y1, x2 - 1, y2 - 1, outerTL, outerBR);
  if (x2 - x1 >= 4 && y2 - y1 >= 4) ring(x1 + 1, y1 + 1, x2 - 2, y2 - 2, innerTL, innerBR);
  m_DrawMode = saveMode;
  m_DrawWidth = saveWidth;
  Changed();
}

}  // namespace basic
