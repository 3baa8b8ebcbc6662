#pragma once
// The main window on the loopback simulator, with a clock the test steps,
// every message and question answered by the test, and a fresh settings
// store for each test.
#include <QComboBox>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#include "audio/LoopbackSim.h"
#include "controls/UC_ListView/UC_ListView.h"
#include "controls/UC_Slider/UC_Slider.h"
#include "support/Settings.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageBox.h"
#include "window/FrmMain.h"

namespace zarin_test {

using WaveMMIO::LoopbackBackend;

constexpr int64_t kMs = 1'000'000;

class FrmMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin").clear();
    auto loopback = std::make_unique<LoopbackBackend>([clock = now] { return *clock; });
    cable = loopback.get();
    std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
    backends.push_back(std::move(loopback));
    WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends), [clock = now] { return *clock; });
    basic::SetMessagePresenter([this](const QString&, const QString& text, basic::MsgIcon) { messages << text; });
    basic::SetQuestionPresenter([this](const QString& text, int32_t, const QString&) {
      questions << text;
      return int16_t{answer};
    });
  }
  void TearDown() override {
    basic::SetMessagePresenter({});
    basic::SetQuestionPresenter({});
  }

  void PickLoopbackAt(FrmMain& w, const QString& rate, int seconds, measurement::SignalMode mode) {
    w.ComboDev[0]->setCurrentIndex(0);
    w.ComboDev[1]->setCurrentIndex(0);
    w.ComboFreq->setCurrentText(rate);
    w.ComboMode->setCurrentIndex(static_cast<int>(mode));
    w.SliderValue[0]->SetValue(seconds);
  }
  void TickUntilIdle(FrmMain& w) {
    for (int i = 0; i < 10000 && w.m_Run.Running(); ++i) {
      *now += 5 * kMs;
      w.TimerRec_Timer();
    }
  }

  std::shared_ptr<int64_t> now = std::make_shared<int64_t>(5'000 * kMs);
  LoopbackBackend* cable = nullptr;  // owned by the device list
  QStringList messages, questions;
  int16_t answer = basic::vbYes;
};

// The same with a temporary data folder.
class FrmMainResultsTest : public FrmMainTest {
 protected:
  void SetUp() override {
    FrmMainTest::SetUp();
    basic::WriteSetting("DataPath", dir.path() + "/");
  }
  QStringList Names(FrmMain& w) {
    QStringList l;
    for (int i = 0; i < w.LV->ItemCount(); ++i) l << w.LV->Value(i, 0).toString();
    return l;
  }
  QString Touch(const QString& name) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    return f.fileName();
  }
  QTemporaryDir dir;
};

// The same with a file dialog that answers `pick` and notes the filter and
// the name it was offered.
class FilePickTest : public FrmMainResultsTest {
 protected:
  void SetUp() override {
    FrmMainResultsTest::SetUp();
    old = basic::SetFilePresenter([this](int32_t, const QString& filter, const QString&, const QString& name) {
      filters << filter;
      names << name;
      return pick;
    });
  }
  void TearDown() override {
    basic::SetFilePresenter(old);
    FrmMainResultsTest::TearDown();
  }
  QString pick;
  QStringList filters, names;
  basic::FilePresenter old;
};

}  // namespace zarin_test
