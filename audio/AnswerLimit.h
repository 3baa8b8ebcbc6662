#pragma once
// A time limit on calls into the sound system that wait for its server
// (starting the library and listing devices, opening and starting streams):
// a server that has stopped answering would otherwise hold the caller for
// as long as it stays stopped. The call runs on a thread of its own; past
// the limit the caller goes on without it, and the thread, whenever the call
// does return, hands its result to a clean-up of its own.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace WaveMMIO {

// The limit the device layer uses: 5 s unless a test sets another.
std::chrono::milliseconds SoundSystemAnswerLimit();
void SetSoundSystemAnswerLimit(std::chrono::milliseconds limit);

// Runs call() within limit. True with its value in result when it returned
// in time; false otherwise, and late(value) runs on the call's thread once it
// returns (never when it returned in time).
template <typename R>
bool CallWithin(std::chrono::milliseconds limit, std::function<R()> call, R& result, std::function<void(R)> late = {}) {
  struct Shared {
    std::atomic<int> state{0};  // 0 running, 1 returned in time, 2 given up
    R value{};
  };
  auto shared = std::make_shared<Shared>();
  std::thread worker([shared, call = std::move(call), late = std::move(late)] {
    R value = call();
    shared->value = value;
    int running = 0;
    if (!shared->state.compare_exchange_strong(running, 1, std::memory_order_acq_rel) && late) late(value);
  });
  // Watched through an atomic, as the stream's own stop is: polled in short
  // steps, the wait ends within a millisecond of the call.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (shared->state.load(std::memory_order_acquire) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  int running = 0;
  if (shared->state.compare_exchange_strong(running, 2, std::memory_order_acq_rel)) {
    worker.detach();
    return false;
  }
  worker.join();
  result = shared->value;
  return true;
}

}  // namespace WaveMMIO
