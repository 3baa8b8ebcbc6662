#include "measurement/RunSettings.h"

#include <QSettings>
#include <gtest/gtest.h>

#include "support/Settings.h"

using measurement::SignalMode;

namespace {

class RunSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { QSettings(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin").clear(); }
  void TearDown() override { SetUp(); }
};

TEST_F(RunSettingsTest, TheStoredModeIsNoiseOnlyForOne) {
  EXPECT_EQ(measurement::ReadRunSettings().mode, SignalMode::Sweep);  // nothing stored
  basic::WriteSetting(QStringLiteral("CheckMode"), int32_t{1});
  EXPECT_EQ(measurement::ReadRunSettings().mode, SignalMode::Noise);
  basic::WriteSetting(QStringLiteral("CheckMode"), int32_t{0});
  EXPECT_EQ(measurement::ReadRunSettings().mode, SignalMode::Sweep);
  for (const int32_t other : {2, -1, 7}) {
    basic::WriteSetting(QStringLiteral("CheckMode"), other);
    EXPECT_EQ(measurement::ReadRunSettings().mode, SignalMode::Sweep) << other;
  }
  basic::WriteSetting(QStringLiteral("CheckMode"), QStringLiteral("noise"));
  EXPECT_EQ(measurement::ReadRunSettings().mode, SignalMode::Sweep);
}

}  // namespace
