#include <gtest/gtest.h>

#include "audio/LoopbackSim.h"
#include "audio/WaveDevice.h"
#include "audio/WaveMMIO.h"
#include "support/Logging.h"
#include "support/Report.h"
#include "tests/audio/FakeBackend.h"

using namespace WaveMMIO;
using zarin_test::UseCodecDevices;

namespace {

struct Captured {
  std::vector<std::pair<QString, int>> logLines;
  std::vector<std::tuple<QString, QString, basic::MsgIcon>> boxes;
};

class AudioDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseCodecDevices();
    basic::SetLogError(1);
    basic::SetLogObserver([this](const QString& t, int e) { got.logLines.emplace_back(t, e); });
    basic::SetMessagePresenter([this](const QString& title, const QString& text, basic::MsgIcon icon) {
      got.boxes.emplace_back(title, text, icon);
    });
  }
  void TearDown() override {
    basic::SetLogObserver({});
    basic::SetLogError(0);
    basic::SetMessagePresenter({});
  }
  Captured got;
};

TEST_F(AudioDevicesTest, NamesMatchLenientlyOverNumberingPrefixes) {
  EXPECT_TRUE(DeviceNamesMatch("speakers (2- usb audio codec)", "speakers (usb audio codec)"));
  EXPECT_TRUE(DeviceNamesMatch("2- line in", "line in"));
  EXPECT_TRUE(DeviceNamesMatch("Mic (1- X)", "Mic (X)"));
  EXPECT_FALSE(DeviceNamesMatch("Mic (5- X)", "Mic (X)"));
  EXPECT_FALSE(DeviceNamesMatch("5- line in", "line in"));
  EXPECT_TRUE(DeviceNamesMatch("USB AUDIO", "usb audio"));
  // Short names keep their prefix: "2- a" is not "a".
  EXPECT_FALSE(DeviceNamesMatch("2- a", "a"));
  EXPECT_FALSE(DeviceNamesMatch("line in", "line out"));
}

TEST_F(AudioDevicesTest, FindAudioDeviceRules) {
  EXPECT_EQ(FindAudioDevice(Direction::Output, "  ", false), 0);
  EXPECT_EQ(FindAudioDevice(Direction::Input, "3", false), 3);  // a number is an id
  EXPECT_EQ(FindAudioDevice(Direction::Input, " +2 ", false), 2);
  EXPECT_EQ(FindAudioDevice(Direction::Output, "REALTEK digital output", false), 1);
  EXPECT_EQ(FindAudioDevice(Direction::Input, "USB Audio CODEC", false), 1);  // prefix dropped
  EXPECT_EQ(FindAudioDevice(Direction::Output, "Speakers (USB Audio CODEC)", false), 0);
  EXPECT_EQ(FindAudioDevice(Direction::Output, "Line Out", false), 2);
  EXPECT_EQ(FindAudioDevice(Direction::Input, LoopbackBackend::kDeviceName, false),
            3);  // listed after the real devices
  EXPECT_TRUE(got.logLines.empty());
  EXPECT_TRUE(got.boxes.empty());
}

TEST_F(AudioDevicesTest, AnIdIsAWholeNumberNamingADevice) {
  // Four inputs, three outputs: nothing is rounded, wrapped or cut to 32 bits.
  for (const char* id : {"4", "-1", "99999999999", "4294967299"})
    EXPECT_EQ(FindAudioDevice(Direction::Input, id, false), kNoSuchDeviceId) << id;
  // Other numbers are names, and no device has them.
  for (const char* name : {"1e10", "-0.4", "0.6", "2.5", "0x1"})
    EXPECT_EQ(FindAudioDevice(Direction::Input, name, false), -1) << name;
  EXPECT_EQ(FindAudioDevice(Direction::Output, "3", false), 3);  // the simulator after the three outputs
  EXPECT_EQ(FindAudioDevice(Direction::Output, "4", false), kNoSuchDeviceId);
  // Such an id never opens another device (-1 would be the default one).
  WaveDevice device(Direction::Output);
  EXPECT_EQ(device.Open(kNoSuchDeviceId, 48000), DeviceError::BadDeviceId);
}

TEST_F(AudioDevicesTest, UnknownNameGivesMinusOneALogLineAndOnRequestABox) {
  EXPECT_EQ(FindAudioDevice(Direction::Output, "Nowhere Card", false), -1);
  ASSERT_EQ(got.logLines.size(), 1u);
  EXPECT_EQ(got.logLines[0].first, QStringLiteral("この名前のデバイスを検出できませんでした Nowhere Card"));
  EXPECT_EQ(got.logLines[0].second, 0);
  EXPECT_TRUE(got.boxes.empty());

  EXPECT_EQ(FindAudioDevice(Direction::Input, " Nowhere Card", true), -1);
  ASSERT_EQ(got.boxes.size(), 1u);
  EXPECT_EQ(std::get<0>(got.boxes[0]), QStringLiteral("zarin"));
  EXPECT_EQ(std::get<1>(got.boxes[0]), QStringLiteral("この名前のデバイスを検出できませんでした\r\n Nowhere Card"));
  EXPECT_EQ(std::get<2>(got.boxes[0]), basic::MsgIcon::Critical);

  basic::SetLogError(0);  // logging off: nothing written
  EXPECT_EQ(FindAudioDevice(Direction::Output, "Nowhere Card", false), -1);
  EXPECT_EQ(got.logLines.size(), 2u);
}

TEST_F(AudioDevicesTest, CheckWaveResultShowsOrLogsTheText) {
  EXPECT_FALSE(CheckWaveResult(DeviceError::None, Direction::Output, false));
  EXPECT_TRUE(got.boxes.empty());

  EXPECT_TRUE(CheckWaveResult(DeviceError::BadFormat, Direction::Output, false));
  ASSERT_EQ(got.boxes.size(), 1u);
  EXPECT_EQ(std::get<1>(got.boxes[0]),
            QString::fromStdString(WaveErrorText(DeviceError::BadFormat, Direction::Output)));
  EXPECT_EQ(std::get<2>(got.boxes[0]), basic::MsgIcon::None);
  EXPECT_TRUE(got.logLines.empty());

  EXPECT_TRUE(CheckWaveResult(DeviceError::BadDeviceId, Direction::Input, true));
  ASSERT_EQ(got.logLines.size(), 1u);
  EXPECT_EQ(got.logLines[0].second, 1);
  EXPECT_EQ(got.boxes.size(), 1u);

  // Every code has a text, within the 200-character buffer.
  for (int code : {1, 2, 4, 5, 6, 7, 11, 32, 33, 34, 77, -9999, -9996, -12345}) {
    const std::string t = WaveErrorText(static_cast<DeviceError>(code), Direction::Input);
    EXPECT_FALSE(t.empty()) << code;
    EXPECT_LE(static_cast<int>(QString::fromStdString(t).size()), 200) << code;
  }
}

TEST(DeviceErrorTextTest, TheTextsAreTheDeviceCallsOwn) {
  EXPECT_EQ(WaveErrorText(DeviceError::None, Direction::Output), "");
  EXPECT_EQ(WaveErrorText(DeviceError::BadDeviceId, Direction::Output), "The device identifier is out of range.");
  EXPECT_EQ(WaveErrorText(DeviceError::NotOpen, Direction::Input), "The device is not open.");
  EXPECT_EQ(WaveErrorText(DeviceError::NoDriver, Direction::Input), "The device was removed or has stopped working.");
  EXPECT_EQ(WaveErrorText(DeviceError::BadFormat, Direction::Input),
            "The input device does not support 16-bit stereo PCM at this sample rate.");
  EXPECT_EQ(WaveErrorText(DeviceError::StillPlaying, Direction::Output), "The buffer is still playing.");
  EXPECT_EQ(WaveErrorText(static_cast<DeviceError>(77), Direction::Output), "Unknown error 77.");
  // PortAudio's own codes keep PortAudio's texts.
  EXPECT_EQ(WaveErrorText(static_cast<DeviceError>(-9996), Direction::Output), "Invalid device");
}

TEST_F(AudioDevicesTest, DefaultDeviceIsTheFirstBackendDefault) {
  // The fake has no default, so -1 falls through to the simulator.
  WaveDevice in(Direction::Input);
  EXPECT_EQ(in.Open(-1, 48000), DeviceError::None);
  EXPECT_TRUE(in.IsOpen());
  EXPECT_EQ(in.Open(7, 48000), DeviceError::BadDeviceId);  // reopening closes the old one first
  EXPECT_FALSE(in.IsOpen());
  EXPECT_EQ(in.Open(-5, 48000), DeviceError::BadDeviceId);
}

TEST(WaveDeviceTest, EveryCallIsSafeOnADeviceThatWasNeverOpened) {
  WaveDevice dev(Direction::Input);
  int64_t pos = 42;
  StereoSample s[4];
  EXPECT_EQ(dev.Queue(s, 4), DeviceError::NotOpen);
  EXPECT_EQ(dev.Start(), DeviceError::NotOpen);
  EXPECT_EQ(dev.Position(pos), DeviceError::NotOpen);
  EXPECT_EQ(pos, 0);
  EXPECT_FALSE(dev.Done());
  EXPECT_EQ(dev.Reset(), DeviceError::NotOpen);
  EXPECT_EQ(dev.Stop(), DeviceError::NotOpen);
  EXPECT_EQ(dev.Unprepare(), DeviceError::NotOpen);
  EXPECT_EQ(dev.Close(), DeviceError::NotOpen);
}

}  // namespace
