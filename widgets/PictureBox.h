#pragma once
// The window's pictures: a widget showing a Surface. The image follows the
// widget's size (also before it is shown), positions and sizes are in the
// container's twips, and mouse and drop events arrive in the surface's twips.
#include <QStringList>
#include <QWidget>

#include "support/Surface.h"

namespace basic {

class PictureBox : public QWidget, public Surface {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  // Outer position and size in the container's twips.
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int twips);
  void SetTop(int twips);
  void SetWidth(int twips);
  void SetHeight(int twips);
  void Move(int left, int top, int width, int height);
  // Size in pixels (handy for off-screen pictures).
  void SetPixelSize(int width, int height) override;
  // A picture on screen follows the screen's twips per pixel, as the window's layout does.
  int TwipsPerPixel() const override { return basic::TwipsPerPixel(); }

  void Changed() override;
  void Refresh() override;

  // Accept files dropped from a file manager (reported by FilesDropped).
  void SetAcceptFiles(bool accept) { setAcceptDrops(accept); }

 signals:
  void MouseDown(int button, int shift, double x, double y);
  void MouseUp(int button, int shift, double x, double y);
  void MouseMove(int button, int shift, double x, double y);
  void DblClick();
  void FilesDropped(const QStringList& paths, int button, int shift, double x, double y);
  // Something is being dragged over the surface (position in twips).
  void DragMoved(double x, double y);
  // The drag left the surface or was dropped on it.
  void DragLeft();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 protected:
  QImage& Synced() const override;

 private:
  mutable bool m_UpdatePending = false;
};

}  // namespace basic
