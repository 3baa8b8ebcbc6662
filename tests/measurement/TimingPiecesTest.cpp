// One piece's delay: the envelope's top, wherever the piece lies in the
// sweep and however coarse the rate it is searched at.
#include "measurement/TimingPieces.h"

#include <gtest/gtest.h>

#include "measurement/TestSignal.h"

using namespace measurement;

namespace {

// A piece low in the sweep is searched at a rate a hundred times lower than
// the run's; its delay still reads to a fraction of a frame on a capture
// that is the played sweep delayed by whole frames.
TEST(TimingPieces, EveryPieceOfADelayedSweepReadsItsDelay) {
  constexpr int32_t kRate = 48000;
  constexpr int64_t kDelay = kRate / 2;
  for (const int32_t seconds : {2, 10}) {
    std::vector<StereoSample> play(static_cast<size_t>(kRate) * seconds);
    SweepTable table;
    std::vector<int16_t> level;
    GenerateSweep(play, kRate, SignalAmplitude(-30), table, level);
    std::vector<StereoSample> rec(static_cast<size_t>(kDelay));
    rec.insert(rec.end(), play.begin(), play.end());
    rec.resize(rec.size() + kRate);
    const auto n = static_cast<int64_t>(play.size());
    for (int64_t p = 3; p < 16; ++p) {
      const int64_t first = n * p / 16, count = n * (p + 1) / 16 - first;
      const timing::PieceFound found =
          timing::FindPiece(play, rec, kRate, table.freq, first, count, kDelay, kRate * 15 / 100);
      ASSERT_TRUE(found.found) << seconds << " s, piece " << p;
      // The shortest sweep's lowest pieces sweep an octave in a few periods.
      const double within = seconds == 2 && p < 5 ? 0.25 * static_cast<double>(found.step) : 0.5;
      EXPECT_NEAR(found.lag, kDelay, within) << seconds << " s, piece " << p << " at "
                                             << table.freq[static_cast<size_t>(first)] << " Hz, step " << found.step;
    }
  }
}

}  // namespace
