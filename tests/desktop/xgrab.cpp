// Reads a rectangle of the X screen (pixels) for the desktop test:
//   zarin_xgrab FILE X Y WIDTH HEIGHT    saves it as a PNG file (the screenshot
//                                        of the window with its frame);
//   zarin_xgrab --ink X Y WIDTH HEIGHT   prints how many of its pixels are not
//                                        white (a control drawn on white shows).
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  if (args.size() != 6) {
    QTextStream(stderr) << "usage: zarin_xgrab FILE|--ink X Y WIDTH HEIGHT\n";
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
  if (shot.isNull()) return 1;
  if (args[1] == QLatin1String("--ink")) {
    const QImage image = shot.toImage().convertToFormat(QImage::Format_RGB32);
    long ink = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) ink += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
    QTextStream(stdout) << ink << '\n';
    return 0;
  }
  return shot.save(args[1], "PNG") ? 0 : 1;
}
