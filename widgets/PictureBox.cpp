#include "widgets/PictureBox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <algorithm>

namespace basic {

namespace {

int ButtonBitsOf(Qt::MouseButtons buttons) {
  int bits = 0;
  if (buttons & Qt::LeftButton) bits |= vbLeftButton;
  if (buttons & Qt::RightButton) bits |= vbRightButton;
  if (buttons & Qt::MiddleButton) bits |= vbMiddleButton;
  return bits;
}

int ShiftBitsOf(Qt::KeyboardModifiers mods) {
  int bits = 0;
  if (mods & Qt::ShiftModifier) bits |= vbShiftMask;
  if (mods & Qt::ControlModifier) bits |= vbCtrlMask;
  if (mods & Qt::AltModifier) bits |= vbAltMask;
  return bits;
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  SetSurfaceFont(font());
  EnsureImageSize(std::max(1, width()), std::max(1, height()));
  Cls();
}

int PictureBox::Left() const { return x() * TwipsPerPixel(); }
int PictureBox::Top() const { return y() * TwipsPerPixel(); }
int PictureBox::Width() const { return width() * TwipsPerPixel(); }
int PictureBox::Height() const { return height() * TwipsPerPixel(); }
void PictureBox::SetLeft(int twips) { Move(twips, Top(), Width(), Height()); }
void PictureBox::SetTop(int twips) { Move(Left(), twips, Width(), Height()); }
void PictureBox::SetWidth(int twips) { Move(Left(), Top(), twips, Height()); }
void PictureBox::SetHeight(int twips) { Move(Left(), Top(), Width(), twips); }

void PictureBox::Move(int left, int top, int width, int height) {
  const int w = std::max(1, TwipsToPixels(width));
  const int h = std::max(1, TwipsToPixels(height));
  setGeometry(TwipsToPixels(left), TwipsToPixels(top), w, h);
  EnsureImageSize(w, h);
}

void PictureBox::SetPixelSize(int width, int height) {
  const int w = std::max(1, width);
  const int h = std::max(1, height);
  resize(w, h);
  EnsureImageSize(w, h);
}

QImage& PictureBox::Synced() const {
  QImage& image = Surface::Synced();
  const int w = std::max(1, width()), h = std::max(1, height());
  if (image.width() != w || image.height() != h) EnsureImageSize(w, h);
  return image;
}

void PictureBox::resizeEvent(QResizeEvent*) { EnsureImageSize(std::max(1, width()), std::max(1, height())); }

void PictureBox::Changed() {
  if (m_UpdatePending) return;
  m_UpdatePending = true;
  update();
}

void PictureBox::Refresh() {
  m_UpdatePending = false;
  repaint();
}

void PictureBox::paintEvent(QPaintEvent*) {
  m_UpdatePending = false;
  QPainter p(this);
  p.drawImage(0, 0, Synced());
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  emit MouseDown(ButtonBitsOf(event->button()), ShiftBitsOf(event->modifiers()), PixelsToTwips(pos.x()),
                 PixelsToTwips(pos.y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  emit MouseUp(ButtonBitsOf(event->button()), ShiftBitsOf(event->modifiers()), PixelsToTwips(pos.x()),
               PixelsToTwips(pos.y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  emit MouseMove(ButtonBitsOf(event->buttons()), ShiftBitsOf(event->modifiers()), PixelsToTwips(pos.x()),
                 PixelsToTwips(pos.y()));
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent*) { emit DblClick(); }

namespace {
QStringList LocalPaths(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}
}  // namespace

void PictureBox::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void PictureBox::dragMoveEvent(QDragMoveEvent* event) {
  if (!LocalPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
  const QPointF pos = event->position();
  emit DragMoved(PixelsToTwips(pos.x()), PixelsToTwips(pos.y()));
}

void PictureBox::dragLeaveEvent(QDragLeaveEvent*) { emit DragLeft(); }

void PictureBox::dropEvent(QDropEvent* event) {
  emit DragLeft();
  const QStringList paths = LocalPaths(event->mimeData());
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  const QPointF pos = event->position();
  emit FilesDropped(paths, ButtonBitsOf(event->buttons()), ShiftBitsOf(event->modifiers()), PixelsToTwips(pos.x()),
                    PixelsToTwips(pos.y()));
}

}  // namespace basic
