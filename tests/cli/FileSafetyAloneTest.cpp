// The command line under pressure: many runs storing into one folder at
// once, a full file system, a sound server that stops answering. These
// start many processes or a sound server: they run alone.
#include <signal.h>
#include <sys/prctl.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/cli/TimedRun.h"

using zarin_test::RunZarin;

namespace {

QByteArray Sum(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return "<missing>";
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

TEST(FileSafetyAlone, SixteenRunsAtOnceTakeSixteenNumbers) {
  QTemporaryDir dir;
  constexpr int kRuns = 16, kRounds = 20;
  QSet<QString> all;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::unique_ptr<QProcess>> runs;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kRuns; ++i) {
      auto p = std::make_unique<QProcess>();
      zarin_test::Prepare(*p);
      // Sweeps and noise runs together: the two kinds share the numbers.
      p->start(QStringLiteral(ZARIN_EXE),
               {"measure", "--output-device", "Loopback simulator", "--input-device", "Loopback simulator", "--rate",
                "8000", "--seconds", "2", "--mode", i % 2 ? "noise" : "sweep", "--folder", dir.path()});
      runs.push_back(std::move(p));
    }
    QSet<QString> numbers;
    for (auto& p : runs) {
      const zarin_test::Finished f = zarin_test::Collect(*p, 120000, clock);
      ASSERT_EQ(f.status, 0) << f.err.toStdString();
      const QString path = f.out.section('\n', 0, 0).section('\t', 1);
      ASSERT_TRUE(path.startsWith(dir.path())) << f.out.toStdString();
      EXPECT_FALSE(all.contains(path)) << path.toStdString();
      all.insert(path);
      numbers.insert(QFileInfo(path).baseName());
      // Complete and readable: a run's own size, and it exports.
      const bool sweep = path.endsWith(".dat");
      EXPECT_EQ(QFileInfo(path).size(), sweep ? 44 + 2 * 16000 : 4104) << path.toStdString();
    }
    EXPECT_EQ(numbers.size(), kRuns) << "round " << round;
  }
  // Every result, and beside each sweep its response (NN.ir.wav, NN.json):
  // nothing else, nothing half-written left behind.
  EXPECT_EQ(QDir(dir.path()).entryList({"*.dat", "*.fft"}, QDir::Files).size(), kRuns * kRounds);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), kRuns * kRounds + 2 * (kRuns / 2) * kRounds);
  for (const QString& path : all) {
    const zarin_test::Finished e = RunZarin({"export", path, "--csv", dir.filePath("check.csv")});
    ASSERT_EQ(e.status, 0) << path.toStdString() << e.err.toStdString();
    break;  // one export stands for the rest: their sizes were checked above
  }
}

// A small file system of the test's own, mounted in a private namespace
// and reached through that namespace's root.
class SmallFileSystem {
 public:
  bool Mount(const QString& where, int kib) {
    m_Keeper.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_Keeper.start(
        "unshare",
        {"-rm", "sh", "-c",
         "mount -t tmpfs -o size=" + QString::number(kib) + "k none \"$0\" && echo mounted && read x", where});
    if (!m_Keeper.waitForStarted(5000) || !m_Keeper.waitForReadyRead(10000)) return false;
    if (!m_Keeper.readLine().startsWith("mounted")) return false;
    m_Path = QStringLiteral("/proc/%1/root%2").arg(m_Keeper.processId()).arg(where);
    return true;
  }
  ~SmallFileSystem() {
    m_Keeper.write("\n");
    m_Keeper.closeWriteChannel();
    if (!m_Keeper.waitForFinished(5000)) m_Keeper.kill();
    m_Keeper.waitForFinished();
  }
  QString Path(const QString& name) const { return m_Path + "/" + name; }

 private:
  QProcess m_Keeper;
  QString m_Path;
};

TEST(FileSafetyAlone, AFullFileSystemGivesAnErrorAndKeepsEveryFile) {
  QTemporaryDir mountPoint;
  SmallFileSystem fs;
  if (!fs.Mount(mountPoint.path(), 256)) GTEST_SKIP() << "no private file system can be mounted here";
  // A result to export, and files that are there before.
  ASSERT_EQ(RunZarin({"measure", "--output-device", "Loopback simulator", "--input-device", "Loopback simulator",
                      "--rate", "8000", "--seconds", "2", "--mode", "sweep", "--folder", fs.Path("")})
                .status,
            0);
  for (const char* name : {"keep.csv", "keep.png", "copy.dat"}) {
    QFile f(fs.Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1000, name[0]));
  }
  QFile filler(fs.Path("filler"));
  ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
  const QByteArray block(4096, 'f');
  while (filler.write(block) == block.size()) {
  }
  filler.close();
  const QStringList names = QDir(fs.Path("")).entryList(QDir::Files | QDir::Hidden);
  std::map<QString, QByteArray> before;
  for (const QString& name : names) before[name] = Sum(fs.Path(name));

  struct Case {
    QStringList args;
    const char* file;
  };
  const std::vector<Case> cases = {
      {{"export", fs.Path("01.dat"), "--csv", fs.Path("keep.csv")}, "keep.csv"},
      {{"export", fs.Path("01.dat"), "--png", fs.Path("keep.png")}, "keep.png"},
      {{"measure", "--output-device", "Loopback simulator", "--input-device", "Loopback simulator", "--rate", "8000",
        "--seconds", "2", "--mode", "sweep", "--folder", fs.Path("")},
       "result"},
  };
  for (const Case& c : cases) {
    const zarin_test::Finished o = RunZarin(c.args);
    EXPECT_EQ(o.status, 1) << c.file;
    EXPECT_TRUE(o.err.contains("No space left on device")) << c.file << ": " << o.err.toStdString();
  }
  EXPECT_EQ(QDir(fs.Path("")).entryList(QDir::Files | QDir::Hidden), names);
  for (const QString& name : names) EXPECT_EQ(Sum(fs.Path(name)), before[name]) << name.toStdString();
}

// A private PulseAudio daemon, stopped and resumed by the test.
class PrivateServer {
 public:
  bool Start() {
    if (QStandardPaths::findExecutable("pulseaudio").isEmpty()) return false;
    m_Socket = m_Home.filePath("native");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", m_Home.path());
    env.insert("PULSE_RUNTIME_PATH", m_Home.filePath("runtime"));
    env.insert("PULSE_STATE_PATH", m_Home.filePath("state"));
    env.insert("HOME", m_Home.path());
    m_Daemon.setProcessEnvironment(env);
    m_Daemon.setStandardOutputFile(m_Home.filePath("daemon.log"));
    m_Daemon.setStandardErrorFile(m_Home.filePath("daemon.log"), QIODevice::Append);
    m_Daemon.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_Daemon.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--log-level=0",
                                  "--load=module-native-protocol-unix auth-anonymous=1 socket=" + m_Socket,
                                  "--load=module-null-sink sink_name=frozen rate=48000 channels=2"});
    if (!m_Daemon.waitForStarted(5000)) return false;
    for (int i = 0; i < 200; ++i) {
      QProcess pactl;
      pactl.start("pactl", {"--server=unix:" + m_Socket, "info"});
      if (pactl.waitForFinished(5000) && pactl.exitCode() == 0) return true;
      if (m_Daemon.state() != QProcess::Running) return false;
      pactl.waitForFinished(50);  // a pause between tries, not a timing
    }
    return false;
  }
  ~PrivateServer() {
    if (m_Daemon.state() == QProcess::Running) {
      kill(static_cast<pid_t>(m_Daemon.processId()), SIGCONT);
      m_Daemon.kill();
      m_Daemon.waitForFinished(5000);
    }
  }
  void Stop() { kill(static_cast<pid_t>(m_Daemon.processId()), SIGSTOP); }
  void Resume() { kill(static_cast<pid_t>(m_Daemon.processId()), SIGCONT); }
  QProcessEnvironment Clients() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", "unix:" + m_Socket);
    return env;
  }
  QString Socket() const { return m_Socket; }

 private:
  QTemporaryDir m_Home;
  QString m_Socket;
  QProcess m_Daemon;
};

TEST(FileSafetyAlone, AStoppedSoundServerHoldsNothingUp) {
  PrivateServer server;
  if (!server.Start()) GTEST_SKIP() << "no private sound server could be started here";
  QTemporaryDir dir;
  server.Stop();
  const auto measure = [&](const char* device) {
    return RunZarin({"measure", "--output-device", device, "--input-device", device, "--rate", "48000", "--seconds",
                     "2", "--mode", "noise", "--folder", dir.path()},
                    30000, server.Clients());
  };
  const zarin_test::Finished devices = RunZarin({"devices"}, 30000, server.Clients());
  EXPECT_EQ(devices.status, 1);
  EXPECT_LT(devices.ms, 10000);
  EXPECT_TRUE(devices.err.contains("did not answer")) << devices.err.toStdString();
  EXPECT_TRUE(devices.err.contains(server.Socket())) << devices.err.toStdString();
  const zarin_test::Finished simulator = measure("Loopback simulator");
  EXPECT_EQ(simulator.status, 0) << simulator.err.toStdString();
  EXPECT_LT(simulator.ms, 10000);
  const zarin_test::Finished pulse = measure("pulse");
  EXPECT_EQ(pulse.status, 1);
  EXPECT_LT(pulse.ms, 10000);
  EXPECT_TRUE(pulse.err.contains("did not answer")) << pulse.err.toStdString();
  // With a host silent, ids count a short list: a number names no device.
  const zarin_test::Finished byId = measure("0");
  EXPECT_EQ(byId.status, 1);
  EXPECT_TRUE(byId.err.contains("did not answer")) << byId.err.toStdString();
  const zarin_test::Finished exported =
      RunZarin({"export", simulator.out.section('\n', 0, 0).section('\t', 1)}, 30000, server.Clients());
  EXPECT_EQ(exported.status, 0);
  server.Resume();
  const zarin_test::Finished again = RunZarin({"devices"}, 30000, server.Clients());
  EXPECT_EQ(again.status, 0) << again.err.toStdString();
  EXPECT_TRUE(again.out.contains("output\tpulse")) << again.out.toStdString();
}

}  // namespace
