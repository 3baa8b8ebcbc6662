#pragma once
// Picture surfaces: a persistent image with the program's drawing
// operations. What is drawn stays until it is cleared. A Surface by itself is
// an off-screen picture (pictures saved as files, the command line); the
// window's pictures are PictureBox widgets built on it.
//
// Two coordinate systems meet here:
//  - the surface's own twips (1/1440 inch) for Line, text placement and the
//    mouse events, converted with the surface's own TwipsPerPixel(): 15
//    (96 dpi) for an off-screen picture, whatever screen the program runs
//    on, so that a picture saved as a file is the same from every front end;
//    a window's picture follows the screen (PictureBox);
//  - pixels for the pen-level operations (MoveTo/LineTo, Pixel, BitBlt, ...).
// Colours are 0x00BBGGRR; system colours (0x800000nn) are resolved on use.
#include <QFont>
#include <QImage>
#include <QStringList>
#include <cstdint>

namespace basic {

// Twips per screen pixel, for both axes; 15 at 96 dpi. The window sets it
// once at start-up for its layout and its pictures on screen; drawing on an
// off-screen surface never reads it.
int TwipsPerPixel();
void SetTwipsPerPixel(int twipsPerPixel);
// 1440 / the primary screen's logical dpi (15 when there is no screen).
int ScreenTwipsPerPixel();

// The scale of a picture no screen shows: 96 dpi.
inline constexpr int kPictureTwipsPerPixel = 15;

// Twips <-> pixels with the screen's factor; halves round to even.
int TwipsToPixels(double twips);
double PixelsToTwips(double pixels);

// Lets pending window events run once (the program's only yield).
void DoEvents();

// The mouse pointer shown over the program's windows: 0 default, 11 busy.
enum MousePointerKind : int { vbDefault = 0, vbHourglass = 11 };
void SetMousePointer(int pointer);
int MousePointer();

// Mouse button bits and shift-state bits carried by the surface events.
enum MouseButtonBits : int { vbLeftButton = 1, vbRightButton = 2, vbMiddleButton = 4 };
enum ShiftBits : int { vbShiftMask = 1, vbCtrlMask = 2, vbAltMask = 4 };

// Raster modes for DrawMode (the pen combined with what is on the surface).
enum DrawModeKind : int {
  vbInvert = 6,     // NOT destination
  vbXorPen = 7,     // pen XOR destination
  vbMaskPen = 9,    // pen AND destination
  vbNop = 11,       // nothing changes
  vbCopyPen = 13,   // pen
  vbMergePen = 15,  // pen OR destination
};

// Block copy operations.
enum class BlitOp { Copy, And, Or, Xor };

enum class LineKind { Line, Box, FilledBox };

// CLR_INVALID: what Pixel() answers outside the surface.
constexpr uint32_t kInvalidColor = 0xFFFFFFFFu;

class Surface {
 public:
  Surface();
  virtual ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // Twips per pixel of this surface (kPictureTwipsPerPixel unless set).
  virtual int TwipsPerPixel() const { return m_TwipsPerPixel; }
  void SetTwipsPerPixel(int twipsPerPixel);
  // Twips <-> pixels at this surface's scale; halves round to even.
  int ToPixels(double twips) const;
  double ToTwips(double pixels) const { return pixels * TwipsPerPixel(); }

  // Inner size in the surface's twips.
  double ScaleWidth() const;
  double ScaleHeight() const;
  // Inner size in pixels (the image).
  int PixelWidth() const { return Synced().width(); }
  int PixelHeight() const { return Synced().height(); }
  // Size in pixels (off-screen pictures).
  virtual void SetPixelSize(int width, int height);

  uint32_t ForeColor() const { return m_ForeColor; }
  void SetForeColor(uint32_t color) { m_ForeColor = color; }
  uint32_t BackColor() const { return m_BackColor; }
  void SetBackColor(uint32_t color) { m_BackColor = color; }

  int DrawWidth() const { return m_DrawWidth; }
  void SetDrawWidth(int pixels) { m_DrawWidth = pixels < 1 ? 1 : pixels; }
  int DrawMode() const { return m_DrawMode; }
  void SetDrawMode(int mode) { m_DrawMode = mode; }

  // Fills the surface with BackColor; the text position goes to (0, 0).
  void Cls();

  // A line (end point excluded), a box outline or a filled box between two
  // points in twips, with DrawWidth and DrawMode.
  void Line(double x1, double y1, double x2, double y2, uint32_t color, LineKind kind = LineKind::Line);
  void Line(double x1, double y1, double x2, double y2) { Line(x1, y1, x2, y2, m_ForeColor); }

  // Text: CurrentX/CurrentY are the top-left of the next printed text.
  double CurrentX() const { return m_CurrentX; }
  double CurrentY() const { return m_CurrentY; }
  void SetCurrentX(double twips) { m_CurrentX = twips; }
  void SetCurrentY(double twips) { m_CurrentY = twips; }
  // Prints in ForeColor with a transparent background. With newLine the text
  // position moves to the start of the next line, else to the end of the text.
  void Print(const QString& text, bool newLine = true);
  double TextWidth(const QString& text) const;
  double TextHeight(const QString& text = QStringLiteral("A")) const;

  QString FontName() const { return m_Font.family(); }
  void SetFontName(const QString& name);
  double FontSize() const { return m_Font.pointSizeF(); }
  void SetFontSize(double points);
  bool FontBold() const { return m_Font.bold(); }
  void SetFontBold(bool bold);
  bool FontItalic() const { return m_Font.italic(); }
  void SetFontItalic(bool italic);
  const QFont& SurfaceFont() const { return m_Font; }
  void SetSurfaceFont(const QFont& font);

  // Pen-level drawing in pixels with ForeColor, DrawWidth and DrawMode.
  void MoveTo(int x, int y);
  void LineTo(int x, int y);  // the end point is not drawn; it becomes the pen position
  uint32_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, uint32_t color);
  void BitBlt(int dx, int dy, int width, int height, const Surface& src, int sx, int sy, BlitOp op = BlitOp::Copy);
  void StretchBlt(int dx, int dy, int dw, int dh, const Surface& src, int sx, int sy, int sw, int sh,
                  BlitOp op = BlitOp::Copy);
  // Raised or sunken two-pixel 3-D edge inside the rectangle [x1, x2) x [y1, y2).
  void DrawEdge(int x1, int y1, int x2, int y2, bool sunken);

  // The surface's image, for drawing code that paints with QPainter itself.
  const QImage& Image() const { return Synced(); }
  QImage& Image() { return Synced(); }
  // Says that the image changed (drawing through Image()); a widget repaints.
  virtual void Changed() {}
  // Shows what was drawn at once (a widget repaints now).
  virtual void Refresh() {}

 protected:
  // The image, first brought to the size it should have (a widget's follows
  // the widget, which a hidden widget only learns when shown).
  virtual QImage& Synced() const { return m_Image; }
  void EnsureImageSize(int width, int height) const;

 private:
  void ApplyFontDpi() const;
  void Plot(int x, int y, uint32_t color);  // one pen dot of DrawWidth, with DrawMode
  void PlotPixel(int x, int y, QRgb pen);
  void PenLine(int x1, int y1, int x2, int y2, uint32_t color);   // end point excluded
  void FillRect(int x1, int y1, int x2, int y2, uint32_t color);  // inclusive corners

  mutable QImage m_Image;
  int m_TwipsPerPixel = kPictureTwipsPerPixel;
  QFont m_Font;
  uint32_t m_ForeColor = 0x000000;
  uint32_t m_BackColor = 0xFFFFFF;
  int m_DrawWidth = 1;
  int m_DrawMode = vbCopyPen;
  double m_CurrentX = 0;
  double m_CurrentY = 0;
  int m_PenX = 0;
  int m_PenY = 0;
};

}  // namespace basic
