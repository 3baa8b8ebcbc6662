#include "widgets/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "support/Logging.h"
#include "support/Settings.h"
#include "widgets/PictureBox.h"

namespace basic {

namespace {

int32_t g_DesktopRight = 0;
int32_t g_DesktopBottom = 0;

// A stored number that does not read as one is a fault of the caller's conversion.
int32_t ToInt32(const QString& text) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok || !(v >= INT32_MIN && v <= INT32_MAX)) throw std::invalid_argument("not a number: " + text.toStdString());
  return static_cast<int32_t>(std::nearbyint(v));
}

float ToFloat(const QString& text) {
  bool ok = false;
  const float v = text.trimmed().toFloat(&ok);
  if (!ok) throw std::invalid_argument("not a number: " + text.toStdString());
  return v;
}

// A stored float, or fallback when nothing is stored; `stored` is set when
// something is.
float StoredFloat(const QString& key, float fallback, bool& stored) {
  static const QString kNothing = QStringLiteral("\x01");
  const QString text = ReadSetting(key, kNothing);
  if (text == kNothing) return fallback;
  stored = true;
  return ToFloat(text);
}

int StateOf(const QWidget* w) {
  if (w->windowState() & Qt::WindowMinimized) return 1;
  if (w->windowState() & Qt::WindowMaximized) return 2;
  return 0;
}

const QString kFrameFitName = QStringLiteral("FrameFit");

QSize FrameOf(const QWidget* w) { return w->frameGeometry().size() - w->size(); }

// Keeps a restored outer size (a length of -1: not restored) while the
// window's frame is still unknown. A window system tells the frame only once
// the window is shown (under X11, when the window manager has put its frame
// around it); the size was applied with the frame known then, and is applied
// again, as client size = stored outer size - frame, each time the frame
// turns out different. Its job is done once a frame has been seen.
class FrameFit : public QObject {
 public:
  FrameFit(QWidget* window, QSize outer, QSize frame)
      : QObject(window), m_Window(window), m_Outer(outer), m_Frame(frame) {
    setObjectName(kFrameFitName);
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type t = event->type();
    if (watched == m_Window && (t == QEvent::Show || t == QEvent::Move || t == QEvent::Resize)) Fit();
    return false;
  }

 private:
  void Fit() {
    if (!m_Window->isVisible() || StateOf(m_Window) != 0 || m_Window->isFullScreen()) return;
    const QSize frame = FrameOf(m_Window);
    if (frame == m_Frame) return;
    m_Frame = frame;
    const int w = m_Outer.width() < 0 ? m_Window->width() : std::max(1, m_Outer.width() - frame.width());
    const int h = m_Outer.height() < 0 ? m_Window->height() : std::max(1, m_Outer.height() - frame.height());
    m_Window->resize(w, h);
    if (!frame.isNull()) {
      m_Window->removeEventFilter(this);
      deleteLater();
    }
  }

  QWidget* m_Window;
  QSize m_Outer;
  QSize m_Frame;
};

}  // namespace

int32_t DesktopExtent(int axis, int inPixels) {
  if (g_DesktopRight <= 0 && qGuiApp) {
    for (const QScreen* screen : QGuiApplication::screens()) {
      const QRect r = screen->geometry();
      g_DesktopRight = std::max(g_DesktopRight, r.x() + r.width());
      g_DesktopBottom = std::max(g_DesktopBottom, r.y() + r.height());
    }
  }
  const int32_t px = axis == 0 ? g_DesktopRight : g_DesktopBottom;
  return inPixels ? px : px * TwipsPerPixel();
}

void SetDesktopExtent(int32_t right, int32_t bottom) {
  g_DesktopRight = right;
  g_DesktopBottom = bottom;
}

void SaveWindowPlacement(QWidget* window, const QString& prefix, int skipSize, int skipState) {
  if (!window) return;
  const int tpp = TwipsPerPixel();
  const int state = StateOf(window);
  if (state == 0) {
    const QRect frame = window->frameGeometry();
    WriteSetting(prefix + QStringLiteral("WindowLeft"), static_cast<float>(frame.x() * tpp));
    WriteSetting(prefix + QStringLiteral("WindowTop"), static_cast<float>(frame.y() * tpp));
    if (!skipSize) {
      WriteSetting(prefix + QStringLiteral("WindowHeight"), static_cast<float>(frame.height() * tpp));
      WriteSetting(prefix + QStringLiteral("WindowWidth"), static_cast<float>(frame.width() * tpp));
    }
  }
  if (!skipState) WriteSetting(prefix + QStringLiteral("WindowState"), static_cast<int16_t>(state));
}

void RestoreWindowPlacement(QWidget* window, const QString& prefix, int skipSize, int skipState, int skipPosition) {
  if (!window) return;
  const int tpp = TwipsPerPixel();
  try {
    if (StateOf(window) == 0) {
      const QRect frame = window->frameGeometry();
      // The frame around the client area, to turn an outer size into a client size.
      const int extraW = frame.width() - window->width(), extraH = frame.height() - window->height();
      if (!skipPosition) {
        int32_t left = ToInt32(ReadSetting(prefix + QStringLiteral("WindowLeft"), int32_t{frame.x() * tpp}));
        int32_t top = ToInt32(ReadSetting(prefix + QStringLiteral("WindowTop"), int32_t{frame.y() * tpp}));
        // A window left on a screen that is gone comes back on the desktop.
        if (left < 0 || left > DesktopExtent(0, 0) - 600) left = 0;
        if (top < 0 || top > DesktopExtent(1, 0) - 900) top = 0;
        window->move(left / tpp, window->y());
        window->move(window->x(), top / tpp);
      }
      if (!skipSize) {
        bool storedH = false, storedW = false;
        const int outerH = static_cast<int>(std::nearbyint(
            StoredFloat(prefix + QStringLiteral("WindowHeight"), window->frameGeometry().height() * tpp, storedH) /
            tpp));
        window->resize(window->width(), std::max(1, outerH - extraH));
        const int outerW = static_cast<int>(std::nearbyint(
            StoredFloat(prefix + QStringLiteral("WindowWidth"), window->frameGeometry().width() * tpp, storedW) / tpp));
        window->resize(std::max(1, outerW - extraW), window->height());
        // Only a stored length is kept against the frame; without one the
        // window keeps the client length it was given (-1 below).
        if ((storedH || storedW) && !window->isVisible() && window->isWindow()) {
          delete window->findChild<QObject*>(kFrameFitName, Qt::FindDirectChildrenOnly);  // one per window
          new FrameFit(window, QSize(storedW ? outerW : -1, storedH ? outerH : -1), QSize(extraW, extraH));
        }
      }
    }
    if (!skipState) {
      const int state = ToInt32(ReadSetting(prefix + QStringLiteral("WindowState"), int16_t(StateOf(window))));
      Qt::WindowStates s = window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
      if (state == 1) s |= Qt::WindowMinimized;
      if (state == 2) s |= Qt::WindowMaximized;
      window->setWindowState(s);
    }
  } catch (const std::invalid_argument&) {
    // A stored value that is not a number: the window keeps what it has so far.
    if (ErrorCatch()) throw;
  }
}

}  // namespace basic
