// The sound server goes away in the middle of a run: a private PulseAudio
// daemon of this test's own is killed while a run plays and records through
// it. The run must end with the device's error text, without a result and
// without crashing.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

#include "audio/PortAudioBackend.h"
#include "dsp/C_FFT.h"
#include "measurement/Analysis.h"
#include "measurement/MeasurementRun.h"
#include "measurement/TestSignal.h"
#include "widgets/MessageBox.h"

namespace {

using namespace std::chrono_literals;

bool ServerAnswers(const QString& server) {
  QProcess pactl;
  pactl.start(QStringLiteral("pactl"), {QStringLiteral("--server=") + server, QStringLiteral("info")});
  return pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

TEST(SoundServerLoss, ARunEndsWithAnErrorWhenTheServerDies) {
  if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
    GTEST_SKIP() << "no PulseAudio here to start a private sound server";
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString socket = home.filePath(QStringLiteral("native"));
  QProcess daemon;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
  env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), home.filePath(QStringLiteral("runtime")));
  env.insert(QStringLiteral("PULSE_STATE_PATH"), home.filePath(QStringLiteral("state")));
  env.insert(QStringLiteral("HOME"), home.path());
  daemon.setProcessEnvironment(env);
  // The daemon must not outlive the test nor hold ctest's output pipes:
  // should the test process die (a sanitizer's report ends it at once), the
  // daemon dies with it and its output goes to a file of the test's own.
  daemon.setStandardOutputFile(home.filePath(QStringLiteral("daemon.log")));
  daemon.setStandardErrorFile(home.filePath(QStringLiteral("daemon.log")), QIODevice::Append);
  daemon.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
  daemon.start(QStringLiteral("pulseaudio"),
               {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                QStringLiteral("--log-level=0"),
                QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket,
                QStringLiteral("--load=module-null-sink sink_name=doomed rate=48000 channels=2")});
  if (!daemon.waitForStarted(5000)) GTEST_SKIP() << "the private sound server did not start";
  const QString server = QStringLiteral("unix:") + socket;
  bool up = false;
  for (int i = 0; i < 100 && !up && daemon.state() == QProcess::Running; ++i) {
    up = QFileInfo::exists(socket) && ServerAnswers(server);
    if (!up) std::this_thread::sleep_for(50ms);
  }
  if (!up) {
    daemon.kill();
    daemon.waitForFinished(5000);
    GTEST_SKIP() << "the private sound server did not answer";
  }

  const QByteArray savedServer = qgetenv("PULSE_SERVER");
  qputenv("PULSE_SERVER", server.toLocal8Bit());
  QStringList messages;
  basic::SetMessagePresenter([&](const QString&, const QString& text, basic::MsgIcon) { messages << text; });
  {
    std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
    backends.push_back(std::make_unique<WaveMMIO::PortAudioBackend>());
    WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends));
    measurement::MeasurementRun run;
    QStringList results;
    measurement::MeasurementRun::Callbacks cb;
    cb.ResultReady = [&](const QString& path, const measurement::Result&) { results << path; };
    // While the device thread fills the capture, the newest whole frame is
    // read as the window reads it (under ThreadSanitizer this checks that
    // nothing is read before the device has published it).
    C_FFT fft;
    fft.Init(measurement::kFftPoints);
    int folded = 0;
    cb.StretchReady = [&](int32_t, int32_t last) {
      folded += run.FoldNoiseFrame(fft, measurement::MeasurementRun::NoiseFrameStart(last));
    };
    run.SetCallbacks(cb);
    measurement::RunRequest request;
    request.deviceOut = request.deviceIn = QStringLiteral("pulse");
    request.mode = measurement::SignalMode::Noise;
    request.sampleRate = 48000;
    request.seconds = 10;
    if (!run.Start(request)) {
      ADD_FAILURE() << "the run did not start: " << messages.join('\n').toStdString();
    } else {
      // Real devices in real time: poll as the window's timer does, until
      // sound has been flowing for a while (the server may take a second or
      // two to start a new stream).
      const auto started = std::chrono::steady_clock::now();
      while (run.Running() && folded < 10 && std::chrono::steady_clock::now() - started < 8s) {
        run.Tick();
        std::this_thread::sleep_for(5ms);
      }
      ASSERT_TRUE(run.Running());
      ASSERT_GE(folded, 10) << "no sound came through the private server";
      daemon.kill();
      daemon.waitForFinished(5000);
      const auto killed = std::chrono::steady_clock::now();
      while (run.Running() && std::chrono::steady_clock::now() - killed < 30s) {
        run.Tick();
        std::this_thread::sleep_for(5ms);
      }
      EXPECT_FALSE(run.Running());
      std::printf(
          "the run ended %lld ms after the server died: %s\n",
          static_cast<long long>(
              std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - killed).count()),
          messages.join(QStringLiteral(" / ")).toLocal8Bit().constData());
      EXPECT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
      EXPECT_TRUE(results.isEmpty());
      EXPECT_FALSE(run.CaptureDevice().IsOpen());
      EXPECT_FALSE(run.PlaybackDevice().IsOpen());
    }
  }
  WaveMMIO::SoundHost::Instance().SetBackends({});
  basic::SetMessagePresenter({});
  if (savedServer.isNull()) qunsetenv("PULSE_SERVER");
  else qputenv("PULSE_SERVER", savedServer);
  if (daemon.state() != QProcess::NotRunning) {
    daemon.kill();
    daemon.waitForFinished(5000);
  }
}

}  // namespace
