// Saves a rectangle of the X screen (pixels) as a PNG file; the desktop test
// uses it for the screenshot of the window with its frame.
//   zarin_xgrab FILE X Y WIDTH HEIGHT
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  if (args.size() != 6) {
    QTextStream(stderr) << "usage: zarin_xgrab FILE X Y WIDTH HEIGHT\n";
    return 2;
  }
  int v[4] = {};
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    v[i] = args[i + 2].toInt(&ok);
    if (!ok) return 2;
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1;
  const QPixmap shot = screen->grabWindow(0, v[0], v[1], v[2], v[3]);
  return !shot.isNull() && shot.save(args[1], "PNG") ? 0 : 1;
}
