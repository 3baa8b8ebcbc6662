#include "widgets/DeviceCombos.h"

#include <QComboBox>
#include <gtest/gtest.h>

#include "audio/LoopbackSim.h"
#include "audio/WaveDevice.h"
#include "audio/WaveMMIO.h"
#include "tests/audio/FakeBackend.h"

using namespace WaveMMIO;
using zarin_test::FakeBackend;
using zarin_test::UseBackends;
using zarin_test::UseCodecDevices;

namespace {

class DeviceCombosTest : public ::testing::Test {
 protected:
  void SetUp() override { UseCodecDevices(); }
  static QStringList Items(const QComboBox& c) {
    QStringList l;
    for (int i = 0; i < c.count(); ++i) l << c.itemText(i);
    return l;
  }
};

TEST_F(DeviceCombosTest, RateComboOffersTheRatesWithinTheLimits) {
  QComboBox combo;
  FillRateCombo(&combo, 48000, 44100, 96000);
  EXPECT_EQ(Items(combo), (QStringList{"96000", "88200", "48000", "44100"}));
  EXPECT_EQ(combo.currentText(), QStringLiteral("48000"));

  FillRateCombo(&combo, 8000, 0, 0);
  EXPECT_EQ(combo.count(), 12);
  EXPECT_EQ(combo.itemText(0), QStringLiteral("192000"));
  EXPECT_EQ(combo.currentIndex(), 11);

  FillRateCombo(&combo, 44000, 0, 0);  // not offered: no selection
  EXPECT_EQ(combo.currentIndex(), -1);
  FillRateCombo(&combo, 192000, 0, 22050);
  EXPECT_EQ(Items(combo).first(), QStringLiteral("22050"));
  EXPECT_EQ(combo.currentIndex(), -1);
}

TEST_F(DeviceCombosTest, ListAudioDevicesSelectsTheStoredDevice) {
  QComboBox combo;
  ListAudioDevices(&combo, Direction::Input, "usb audio codec", false);
  EXPECT_EQ(Items(combo), (QStringList{"Mic (1- X)", "2- USB Audio CODEC", "Line In", LoopbackBackend::kDeviceName}));
  EXPECT_EQ(combo.currentIndex(), 1);  // lenient pass

  ListAudioDevices(&combo, Direction::Input, "  LINE IN ", false);
  EXPECT_EQ(combo.currentIndex(), 2);  // exact pass

  ListAudioDevices(&combo, Direction::Input, "Gone Device", false);
  EXPECT_EQ(combo.currentIndex(), -1);
  ListAudioDevices(&combo, Direction::Input, "Gone Device", true);
  EXPECT_EQ(combo.currentIndex(), 0);
  ListAudioDevices(&combo, Direction::Output, "", false);
  EXPECT_EQ(combo.currentIndex(), -1);
  ListAudioDevices(&combo, Direction::Output, "", true);
  EXPECT_EQ(combo.currentIndex(), 0);
}

TEST_F(DeviceCombosTest, NoDevicesLeavesTheComboEmpty) {
  UseBackends(std::make_unique<FakeBackend>(std::vector<std::string>{}, std::vector<std::string>{}));
  QComboBox combo;
  combo.addItem("stale");
  ListAudioDevices(&combo, Direction::Output, "anything", true);
  EXPECT_EQ(combo.count(), 0);
  EXPECT_EQ(FindAudioDevice(Direction::Output, "anything", false), 0);
  WaveDevice dev(Direction::Output);
  EXPECT_EQ(dev.Open(0, 48000), DeviceError::BadDeviceId);
  EXPECT_EQ(dev.Open(-1, 48000), DeviceError::BadDeviceId);  // no default either
}

}  // namespace
