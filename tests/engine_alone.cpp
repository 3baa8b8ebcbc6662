// Linked with every object of the engine library and nothing of Qt Widgets:
// that it links at all is the check. Run, it draws a small picture off screen
// without a display, as the command line does.
#include <QGuiApplication>

#include "measurement/Export.h"
#include "measurement/Result.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  measurement::Result result;
  result.mode = measurement::SignalMode::Noise;
  result.sampleRate = 48000;
  result.spectrum.values.fill(1000.0f);
  const QImage picture = measurement::SpectrumPicture(result, {}, 0xFF80FF, {200, 100});
  return picture.size() == QSize(200, 100) ? 0 : 1;
}
