#include <gtest/gtest.h>

#include "audio/LoopbackSim.h"
#include "audio/WaveDevice.h"
#include "audio/WaveMMIO.h"
#include "support/Logging.h"
#include "support/Report.h"
#include "tests/audio/FakeBackend.h"

using namespace WaveMMIO;
using zarin_test::FakeBackend;
using zarin_test::UseBackends;

namespace {

struct Captured {
  std::vector<std::pair<QString, int>> logLines;
  std::vector<std::tuple<QString, QString, basic::MsgIcon>> boxes;
};

class AudioDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseBackends(std::make_unique<FakeBackend>(
                    std::vector<std::string>{"Speakers (2- USB Audio CODEC)", "Realtek Digital Output", "2- Line Out"},
                    std::vector<std::string>{"Mic (1- X)", "2- USB Audio CODEC", "Line In"}),
                std::make_unique<LoopbackBackend>([] { return int64_t{0}; }));
    basic::SetLogError(1);
    basic::SetLogObserver([this](const QString& t, int e) { got.logLines.emplace_back(t, e); });
    basic::SetMessagePresenter(
        [this](const QString& title, const QString& text, basic::MsgIcon icon) { got.boxes.emplace_back(title, text, icon); });
  }
  void TearDown() override {
    basic::SetLogObserver({});
    basic::SetLogError(0);
    basic::SetMessagePresenter({});
  }
  Captured got;
};

TEST_F(AudioDevicesTest, NamesMatchLenientlyOverNumberingPrefixes) {
  EXPECT_EQ(DeviceNamesMatch("speakers (2- usb audio codec)", "speakers (usb audio codec)"), 1);
  EXPECT_EQ(DeviceNamesMatch("2- line in", "line in"), 1);
  EXPECT_EQ(DeviceNamesMatch("Mic (1- X)", "Mic (X)"), 1);
  EXPECT_EQ(DeviceNamesMatch("Mic (5- X)", "Mic (X)"), 0);
  EXPECT_EQ(DeviceNamesMatch("5- line in", "line in"), 0);
  EXPECT_EQ(DeviceNamesMatch("USB AUDIO", "usb audio"), 1);
  // Short names keep their prefix: "2- a" is not "a".
  EXPECT_EQ(DeviceNamesMatch("2- a", "a"), 0);
  EXPECT_EQ(DeviceNamesMatch("line in", "line out"), 0);
}

TEST_F(AudioDevicesTest, FindAudioDeviceRules) {
  EXPECT_EQ(FindAudioDevice(0, "  ", 0), 0);
  EXPECT_EQ(FindAudioDevice(1, "3", 0), 3);  // a number is an id
  EXPECT_EQ(FindAudioDevice(1, " +2 ", 0), 2);
  EXPECT_EQ(FindAudioDevice(0, "REALTEK digital output", 0), 1);
  EXPECT_EQ(FindAudioDevice(1, "USB Audio CODEC", 0), 1);  // prefix dropped
  EXPECT_EQ(FindAudioDevice(0, "Speakers (USB Audio CODEC)", 0), 0);
  EXPECT_EQ(FindAudioDevice(0, "Line Out", 0), 2);
  EXPECT_EQ(FindAudioDevice(1, LoopbackBackend::kDeviceName, 0), 3);  // listed after the real devices
  EXPECT_TRUE(got.logLines.empty());
  EXPECT_TRUE(got.boxes.empty());
}

TEST_F(AudioDevicesTest, AnIdIsAWholeNumberNamingADevice) {
  // Four inputs, three outputs: nothing is rounded, wrapped or cut to 32 bits.
  for (const char* id : {"4", "-1", "99999999999", "4294967299"}) EXPECT_EQ(FindAudioDevice(1, id, 0), kNoSuchDeviceId) << id;
  // Other numbers are names, and no device has them.
  for (const char* name : {"1e10", "-0.4", "0.6", "2.5", "0x1"}) EXPECT_EQ(FindAudioDevice(1, name, 0), -1) << name;
  EXPECT_EQ(FindAudioDevice(0, "3", 0), 3);  // the simulator after the three outputs
  EXPECT_EQ(FindAudioDevice(0, "4", 0), kNoSuchDeviceId);
  // Such an id never opens another device (-1 would be the default one).
  WaveDevice device(Direction::Output);
  EXPECT_EQ(device.Open(kNoSuchDeviceId, 48000), MMSYSERR_BADDEVICEID);
}

TEST_F(AudioDevicesTest, UnknownNameGivesMinusOneALogLineAndOnRequestABox) {
  EXPECT_EQ(FindAudioDevice(0, "Nowhere Card", 0), -1);
  ASSERT_EQ(got.logLines.size(), 1u);
  EXPECT_EQ(got.logLines[0].first, QStringLiteral("この名前のデバイスを検出できませんでした Nowhere Card"));
  EXPECT_EQ(got.logLines[0].second, 0);
  EXPECT_TRUE(got.boxes.empty());

  EXPECT_EQ(FindAudioDevice(1, " Nowhere Card", 1), -1);
  ASSERT_EQ(got.boxes.size(), 1u);
  EXPECT_EQ(std::get<0>(got.boxes[0]), QStringLiteral("zarin"));
  EXPECT_EQ(std::get<1>(got.boxes[0]), QStringLiteral("この名前のデバイスを検出できませんでした\r\n Nowhere Card"));
  EXPECT_EQ(std::get<2>(got.boxes[0]), basic::MsgIcon::Critical);

  basic::SetLogError(0);  // logging off: nothing written
  EXPECT_EQ(FindAudioDevice(0, "Nowhere Card", 0), -1);
  EXPECT_EQ(got.logLines.size(), 2u);
}

TEST_F(AudioDevicesTest, CheckWaveResultShowsOrLogsTheText) {
  EXPECT_EQ(CheckWaveResult(0, 1, 0), 0);
  EXPECT_TRUE(got.boxes.empty());

  EXPECT_EQ(CheckWaveResult(WAVERR_BADFORMAT, 1, 0), 1);
  ASSERT_EQ(got.boxes.size(), 1u);
  EXPECT_EQ(std::get<1>(got.boxes[0]), QString::fromStdString(WaveErrorText(WAVERR_BADFORMAT, Direction::Output)));
  EXPECT_EQ(std::get<2>(got.boxes[0]), basic::MsgIcon::None);
  EXPECT_TRUE(got.logLines.empty());

  EXPECT_EQ(CheckWaveResult(MMSYSERR_BADDEVICEID, 0, 1), 1);
  ASSERT_EQ(got.logLines.size(), 1u);
  EXPECT_EQ(got.logLines[0].second, 1);
  EXPECT_EQ(got.boxes.size(), 1u);

  // Every code has a text, within the 200-character buffer.
  for (int code : {1, 2, 4, 5, 6, 7, 11, 32, 33, 34, 77, -9999, -9996, -12345}) {
    const std::string t = WaveErrorText(code, Direction::Input);
    EXPECT_FALSE(t.empty()) << code;
    EXPECT_LE(static_cast<int>(QString::fromStdString(t).size()), 200) << code;
  }
}

TEST_F(AudioDevicesTest, DefaultDeviceIsTheFirstBackendDefault) {
  // The fake has no default, so -1 falls through to the simulator.
  WaveDevice in(Direction::Input);
  EXPECT_EQ(in.Open(-1, 48000), MMSYSERR_NOERROR);
  EXPECT_TRUE(in.IsOpen());
  EXPECT_EQ(in.Open(7, 48000), MMSYSERR_BADDEVICEID);  // reopening closes the old one first
  EXPECT_FALSE(in.IsOpen());
  EXPECT_EQ(in.Open(-5, 48000), MMSYSERR_BADDEVICEID);
}

TEST(WaveDeviceTest, EveryCallIsSafeOnADeviceThatWasNeverOpened) {
  WaveDevice dev(Direction::Input);
  int64_t pos = 42;
  StereoSample s[4];
  EXPECT_EQ(dev.Queue(s, 4), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(dev.Start(), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(dev.Position(pos), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(pos, 0);
  EXPECT_FALSE(dev.Done());
  EXPECT_EQ(dev.Reset(), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(dev.Stop(), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(dev.Unprepare(), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(dev.Close(), MMSYSERR_INVALHANDLE);
}

}  // namespace
