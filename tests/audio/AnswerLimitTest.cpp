// Calls into a sound system that may not answer: the caller goes on at the
// limit, and what the call returns later is cleaned up on its own thread.
#include "audio/AnswerLimit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "audio/LoopbackSim.h"
#include "audio/SoundDevice.h"
#include "tests/audio/FakeBackend.h"

using namespace WaveMMIO;

namespace {

TEST(AnswerLimit, ACallThatAnswersInTimeGivesItsValue) {
  int value = 0;
  bool late = false;
  EXPECT_TRUE(CallWithin<int>(
      std::chrono::seconds(60), [] { return 42; }, value, [&](int) { late = true; }));
  EXPECT_EQ(value, 42);
  EXPECT_FALSE(late);
}

TEST(AnswerLimit, ACallThatDoesNotAnswerIsLeftAndCleansUpAfterItself) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<int> cleaned;
  int value = -1;
  // The call waits until the test lets it go: it cannot answer within 10 ms.
  EXPECT_FALSE(CallWithin<int>(
      std::chrono::milliseconds(10),
      [released] {
        released.wait();
        return 7;
      },
      value, [&cleaned](int late) { cleaned.set_value(late); }));
  EXPECT_EQ(value, -1);
  release.set_value();
  EXPECT_EQ(cleaned.get_future().get(), 7);
}

TEST(AnswerLimit, TheMessageNamesTheHostThatDidNotAnswer) {
  SetUnansweredHost("ALSA device \"pulse\", PulseAudio server /run/x/native");
  EXPECT_EQ(WaveErrorText(DeviceError::NoAnswer, Direction::Output),
            "The sound system did not answer within 5 s: ALSA device \"pulse\", PulseAudio server /run/x/native.");
  SetUnansweredHost({});
}

// A backend that would wait for a server: listing it is what the simulator
// must never need.
class ServerBackend : public zarin_test::FakeBackend {
 public:
  explicit ServerBackend(std::atomic<int>* asked) : FakeBackend({"pulse"}, {"pulse"}), m_Asked(asked) {}
  int DeviceCount(Direction d) override {
    ++*m_Asked;
    return FakeBackend::DeviceCount(d);
  }
  bool NeedsServer() const override { return true; }

 private:
  std::atomic<int>* m_Asked;
};

TEST(AnswerLimit, TheSimulatorAloneNeverAsksAServer) {
  std::atomic<int> asked{0};
  zarin_test::UseBackends(std::make_unique<ServerBackend>(&asked),
                          std::make_unique<LoopbackBackend>([] { return int64_t{0}; }));
  auto& host = SoundHost::Instance();
  EXPECT_FALSE(host.KeepServerlessFor({"Loopback simulator", "pulse"}));
  EXPECT_FALSE(host.KeepServerlessFor({"1"}));  // ids number the whole list
  EXPECT_EQ(asked.load(), 0);
  EXPECT_TRUE(host.KeepServerlessFor({"loopback simulator", " Loopback simulator "}));
  EXPECT_EQ(host.DeviceCount(Direction::Output), 1);
  EXPECT_EQ(host.DeviceName(Direction::Input, 0), LoopbackBackend::kDeviceName);
  EXPECT_EQ(asked.load(), 0);
}

}  // namespace
