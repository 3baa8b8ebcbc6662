#include "measurement/Verdict.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "measurement/TestSignal.h"
#include "measurement/Timing.h"
#include "measurement/VerdictText.h"

using namespace measurement;

namespace {

// A run made by hand: the played signal, and a capture holding silence-free
// noise before and after it and the played signal scaled by gain between.
struct HandRun {
  int32_t rate = 48000;
  SignalMode mode = SignalMode::Sweep;
  std::vector<StereoSample> played;
  std::vector<StereoSample> captured;
  TimingFacts timing;
};

HandRun MakeRun(int32_t rate, double seconds, double levelDb, double gainDb, double noiseRms,
                SignalMode mode = SignalMode::Sweep, double beforeSeconds = 0.5, double afterSeconds = 0.5,
                double humRms = 0) {
  HandRun r;
  r.rate = rate;
  r.mode = mode;
  const auto n = static_cast<size_t>(seconds * rate);
  r.played.resize(n);
  const double amplitude = 32767 * std::pow(10.0, levelDb / 20);
  if (mode == SignalMode::Sweep) {
    SweepTable table;
    std::vector<int16_t> level;
    GenerateSweep(r.played, rate, amplitude, table, level);
  } else {
    GenerateNoise(r.played, amplitude, 7);
  }
  const auto before = static_cast<size_t>(beforeSeconds * rate), after = static_cast<size_t>(afterSeconds * rate);
  std::mt19937_64 rng(11);
  std::normal_distribution<double> gauss(0, 1);
  const double gain = std::pow(10.0, gainDb / 20);
  r.captured.resize(before + n + after);
  for (size_t i = 0; i < r.captured.size(); ++i) {
    double v = noiseRms * gauss(rng) + humRms * std::sqrt(2.0) * std::sin(2 * std::numbers::pi * 50 * i / rate);
    if (i >= before && i < before + n) v += gain * r.played[i - before].Left;
    const auto s = static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
    r.captured[i] = {s, s};
  }
  r.timing.found = true;
  r.timing.start = static_cast<double>(before);
  r.timing.end = static_cast<double>(before + n - 1);
  return r;
}

Verdict Judge(const HandRun& r, const HostFlags& flags = {}) {
  return JudgeRun(r.played, r.captured, r.rate, r.mode, r.timing, flags);
}

const VerdictReason* Find(const Verdict& v, Reason reason, double low = -1) {
  for (const VerdictReason& r : v.reasons)
    if (r.reason == reason && (low < 0 || std::abs(r.low - low) < 1e-6)) return &r;
  return nullptr;
}

std::string Describe(const Verdict& v) {
  std::string text = QualityKey(v.quality).toStdString();
  for (const VerdictReason& r : v.reasons) text += "\n  " + ReasonSentence(r).toStdString();
  return text;
}

constexpr double kNoise80 = 32768 * 1e-4;  // -80 dBFS RMS

}  // namespace

TEST(Verdict, ACleanPathIsGoodAtEveryRate) {
  for (const int32_t rate : {8000, 11025, 44100, 48000, 96000, 192000}) {
    const Verdict v = Judge(MakeRun(rate, 2, -3, -6, kNoise80));
    EXPECT_EQ(v.quality, Quality::Good) << rate << " " << Describe(v);
    EXPECT_TRUE(v.reasons.empty()) << rate;
  }
  HandRun noise = MakeRun(48000, 2, -3, -6, kNoise80, SignalMode::Noise);
  EXPECT_EQ(Judge(noise).quality, Quality::Good) << Describe(Judge(noise));
}

TEST(Verdict, SilenceIsBad) {
  HandRun r = MakeRun(48000, 2, -3, -200, kNoise80);
  r.timing = TimingFacts{};  // the finder found nothing
  const Verdict v = Judge(r);
  EXPECT_EQ(v.quality, Quality::Bad);
  EXPECT_TRUE(v.Has(Reason::NoSignal));
  // An empty capture says no more.
  EXPECT_EQ(JudgeRun(r.played, {}, r.rate, r.mode, MakeRun(8000, 2, -3, -6, 0).timing, {}).quality, Quality::Bad);
}

TEST(Verdict, AClippedCaptureIsBadAndCountsItsSamples) {
  const HandRun r = MakeRun(48000, 2, 0, 12, kNoise80);  // +12 dB into a full-scale sweep
  const Verdict v = Judge(r);
  EXPECT_EQ(v.quality, Quality::Bad);
  const VerdictReason* clipped = Find(v, Reason::Clipped);
  ASSERT_NE(clipped, nullptr) << Describe(v);
  const auto atFullScale = std::count_if(r.captured.begin(), r.captured.end(),
                                         [](StereoSample s) { return s.Left == 32767 || s.Left == -32768; });
  EXPECT_EQ(clipped->value, static_cast<double>(atFullScale));
  EXPECT_FALSE(v.Has(Reason::LowHeadroom));
}

TEST(Verdict, LittleHeadroomIsAWarningWithTheHeadroom) {
  const HandRun r = MakeRun(48000, 2, -3, 0, kNoise80);  // peaks near -3 dBFS
  const Verdict v = Judge(r);
  EXPECT_EQ(v.quality, Quality::Warning) << Describe(v);
  const VerdictReason* headroom = Find(v, Reason::LowHeadroom);
  ASSERT_NE(headroom, nullptr);
  int32_t peak = 0;
  for (const StereoSample s : r.captured) peak = std::max(peak, std::abs(int32_t{s.Left}));
  EXPECT_NEAR(headroom->value, 20 * std::log10(32767.0 / peak), 1e-9);
  EXPECT_NEAR(headroom->value, 3.0, 0.1);
  // 7 dB is enough.
  EXPECT_FALSE(Judge(MakeRun(48000, 2, -3, -4, kNoise80)).Has(Reason::LowHeadroom));
}

TEST(Verdict, NoiseThirtyDbUnderTheSignalIsFoundInTheBandsItFills) {
  // White noise 30 dB under the sweep's RMS: of the top third (1.79 to
  // 24 kHz) it holds 22.2/24 of its power, so the signal stands 30.3 dB
  // over it there; in the lowest third (10 to 134 Hz) 52.9 dB.
  const double signalRms = 32767 * std::pow(10.0, -3 / 20.0) * std::pow(10.0, -6 / 20.0) / std::sqrt(2.0);
  const HandRun r = MakeRun(48000, 4, -3, -6, signalRms / std::pow(10.0, 30 / 20.0));
  const Verdict v = Judge(r);
  EXPECT_NE(v.quality, Quality::Good);
  const double top = 10 * std::pow(2400.0, 2 / 3.0);
  const VerdictReason* snr = Find(v, Reason::LowSnr, top);
  ASSERT_NE(snr, nullptr) << Describe(v);
  EXPECT_NEAR(snr->value, 30 + 10 * std::log10(24000 / (24000 - top)), 1.0);
  EXPECT_NEAR(snr->high, 24000, 1e-6);
  EXPECT_EQ(Find(v, Reason::LowSnr, 10), nullptr);
  // Under 20 dB the run is bad.
  EXPECT_EQ(Judge(MakeRun(48000, 4, -3, -6, signalRms / 3)).quality, Quality::Bad);
  // The same for a noise run: the played noise fills the band evenly.
  EXPECT_TRUE(
      Judge(MakeRun(48000, 4, -3, -6, signalRms / std::pow(10.0, 30 / 20.0), SignalMode::Noise)).Has(Reason::LowSnr));
}

TEST(Verdict, HumIsMeasuredInTheLowestThirdOnly) {
  // A 50 Hz hum 25 dB under the sweep: the lowest third's signal-to-noise.
  const double signalRms = 32767 * std::pow(10.0, -3 / 20.0) * std::pow(10.0, -6 / 20.0) / std::sqrt(2.0);
  const HandRun r =
      MakeRun(48000, 4, -3, -6, kNoise80, SignalMode::Sweep, 0.5, 0.5, signalRms / std::pow(10.0, 25 / 20.0));
  const Verdict v = Judge(r);
  const VerdictReason* low = Find(v, Reason::LowSnr, 10);
  ASSERT_NE(low, nullptr) << Describe(v);
  EXPECT_NEAR(low->value, 25, 1.0);
  EXPECT_EQ(v.reasons.size(), 1u) << Describe(v);
  EXPECT_EQ(v.quality, Quality::Warning);
}

TEST(Verdict, TheNoiseAfterTheSignalIsTakenWhenTheStartLeavesNone) {
  const double signalRms = 32767 * std::pow(10.0, -9 / 20.0) / std::sqrt(2.0);
  const HandRun after = MakeRun(48000, 2, -3, -6, signalRms / std::pow(10.0, 30 / 20.0), SignalMode::Sweep, 0, 0.6);
  EXPECT_TRUE(Judge(after).Has(Reason::LowSnr)) << Describe(Judge(after));
  // A device's silent start is no noise measurement.
  HandRun silentStart = MakeRun(48000, 2, -3, -6, kNoise80, SignalMode::Sweep, 0.5, 0);
  std::fill(silentStart.captured.begin(), silentStart.captured.begin() + 24000 - 100, StereoSample{});
  silentStart.captured[24000 - 100] = {5, 5};
  const Verdict v = Judge(silentStart);
  const VerdictReason* unmeasured = Find(v, Reason::NoiseUnmeasured);
  ASSERT_NE(unmeasured, nullptr) << Describe(v);
  EXPECT_EQ(unmeasured->value, 100 - 96);  // the 2 ms before the signal may hold it
  EXPECT_EQ(v.quality, Quality::Warning);
}

TEST(Verdict, TimingEventsAndDriftAreWarnings) {
  HandRun r = MakeRun(48000, 2, -3, -6, kNoise80);
  r.timing.dropouts = 3;
  r.timing.steps = 1;
  Verdict v = Judge(r);
  EXPECT_EQ(v.quality, Quality::Warning);
  ASSERT_NE(Find(v, Reason::Dropouts), nullptr);
  EXPECT_EQ(Find(v, Reason::Dropouts)->value, 3);
  EXPECT_EQ(Find(v, Reason::TimingSteps)->value, 1);
  r.timing = MakeRun(48000, 2, -3, -6, kNoise80).timing;
  r.timing.lostPieces = 2;
  EXPECT_EQ(Find(Judge(r), Reason::LostPieces)->value, 2);
  r.timing.lostPieces = 0;
  r.timing.driftPpm = -50;
  v = Judge(r);
  EXPECT_EQ(v.quality, Quality::Warning);
  EXPECT_EQ(Find(v, Reason::Drift)->value, -50);
  r.timing.driftPpm = 9.5;
  EXPECT_EQ(Judge(r).quality, Quality::Good);
}

TEST(Verdict, ASignalThatArrivedBeforeTheCaptureBeganIsLate) {
  HandRun r = MakeRun(48000, 2, -3, -6, kNoise80);
  EXPECT_FALSE(Judge(r).Has(Reason::CaptureLate));
  // The sweep's first sample arrived 100 ms before the capture's first frame.
  r.timing.start = -4800;
  Verdict v = Judge(r);
  EXPECT_EQ(v.quality, Quality::Warning);
  ASSERT_TRUE(v.Has(Reason::CaptureLate));
  EXPECT_NEAR(Find(v, Reason::CaptureLate)->value, 100, 1e-9);
  EXPECT_EQ(ReasonKey(Reason::CaptureLate), QStringLiteral("capture_late"));
  EXPECT_TRUE(ReasonSentenceJa(*Find(v, Reason::CaptureLate)).contains(QStringLiteral("100 ms")));
  // Under a frame early is the delay's own uncertainty.
  r.timing.start = -0.5;
  EXPECT_FALSE(Judge(r).Has(Reason::CaptureLate));
}

TEST(Verdict, HostFlagsCountOnlyWhereTheHostReportsThem) {
  const HandRun r = MakeRun(48000, 2, -3, -6, kNoise80);
  HostFlags flags;
  flags.inputOverflow = flags.outputUnderflow = true;
  EXPECT_EQ(Judge(r, flags).quality, Quality::Good);
  flags.reported = true;
  const Verdict v = Judge(r, flags);
  EXPECT_EQ(v.quality, Quality::Warning);
  EXPECT_TRUE(v.Has(Reason::CaptureOverflow));
  EXPECT_TRUE(v.Has(Reason::PlaybackUnderflow));
  EXPECT_FALSE(v.Has(Reason::CaptureUnderflow));
  EXPECT_FALSE(v.Has(Reason::PlaybackOverflow));
}

TEST(Verdict, EveryReasonHasItsWords) {
  for (int i = 0; i <= static_cast<int>(Reason::CaptureLate); ++i) {
    const VerdictReason r{static_cast<Reason>(i), 12.5, 100, 2000};
    EXPECT_FALSE(ReasonKey(r.reason).isEmpty()) << i;
    EXPECT_FALSE(ReasonSentence(r).isEmpty()) << i;
    EXPECT_FALSE(ReasonSentenceJa(r).isEmpty()) << i;
    EXPECT_EQ(ReasonOfKey(ReasonKey(r.reason)), r.reason) << i;
    // A reason that damages the timing has its few words for the phase's note.
    EXPECT_EQ(TimingDamage(r).isEmpty(), !DamagesTiming(r.reason)) << i;
    EXPECT_EQ(TimingDamageJa(r).isEmpty(), !DamagesTiming(r.reason)) << i;
  }
  EXPECT_FALSE(ReasonOfKey(QStringLiteral("nothing_of_the_kind")).has_value());
  EXPECT_EQ(QualityWord(Quality::Good), QStringLiteral("良好"));
  EXPECT_EQ(QualityWord(Quality::Warning), QStringLiteral("注意"));
  EXPECT_EQ(QualityWord(Quality::Bad), QStringLiteral("不良"));
}

TEST(Verdict, TheFactsOfAFollowedTiming) {
  RunTiming fixed = RunTiming::Fixed(100.5, 1000);
  fixed.found = true;
  TimingFacts f = TimingFactsOf(fixed, 1000, 20);
  EXPECT_TRUE(f.found);
  EXPECT_DOUBLE_EQ(f.start, 120.5);
  EXPECT_DOUBLE_EQ(f.end, 1119.5);
  // Two segments, a lost piece at the start, a step between them, a fast capture clock.
  RunTiming t;
  t.found = true;
  t.driftPpm = 40;
  t.segments = {{100, 500, 210.0, 1.00004}, {500, 900, 630.0, 1.00004}};
  t.events = {{TimingEventKind::LostPiece, 0, 0, 2},
              {TimingEventKind::Step, 500, 0.01, 4},
              {TimingEventKind::Dropout, 700, 0.02, -3},
              {TimingEventKind::Dropout, 800, 0.03, -3}};
  f = TimingFactsOf(t, 1000, 0);
  EXPECT_DOUBLE_EQ(f.start, 210.0 - 100 * 1.00004);
  EXPECT_DOUBLE_EQ(f.end, 630.0 + 499 * 1.00004);
  EXPECT_EQ(f.driftPpm, 40);
  EXPECT_EQ(f.lostPieces, 1);
  EXPECT_EQ(f.steps, 1);
  EXPECT_EQ(f.dropouts, 2);
  t.found = false;
  EXPECT_FALSE(TimingFactsOf(t, 1000).found);
}

// A host that fills what it lost with zeros leaves silence inside the
// signal; a hole in the envelope that no reported event explains is a gap
// too. Neither run is ever good.
TEST(Verdict, SilenceInsideTheSignalAndUnexplainedHolesAreGaps) {
  HandRun r = MakeRun(48000, 2, -3, -6, kNoise80);
  // 5 ms of zeros at 1.2 s into the sweep.
  const auto at = static_cast<size_t>(r.timing.start) + 57600;
  std::fill(r.captured.begin() + static_cast<std::ptrdiff_t>(at),
            r.captured.begin() + static_cast<std::ptrdiff_t>(at + 240), StereoSample{});
  Verdict v = Judge(r);
  ASSERT_NE(Find(v, Reason::CaptureGaps), nullptr) << Describe(v);
  EXPECT_EQ(Find(v, Reason::CaptureGaps)->value, 1);
  EXPECT_EQ(v.quality, Quality::Warning);
  // Shorter than a millisecond: a sine's crossing of zero at a low level, not a gap.
  std::fill(r.captured.begin() + static_cast<std::ptrdiff_t>(at),
            r.captured.begin() + static_cast<std::ptrdiff_t>(at + 240), StereoSample{100, 100});
  std::fill(r.captured.begin() + static_cast<std::ptrdiff_t>(at),
            r.captured.begin() + static_cast<std::ptrdiff_t>(at + 40), StereoSample{});
  EXPECT_EQ(Find(Judge(r), Reason::CaptureGaps), nullptr);
  // Silence from some point to the end (a path that stops short of the
  // sweep's top) lies before no signal: no gap.
  HandRun top = MakeRun(48000, 2, -3, -6, 0);
  std::fill(top.captured.begin() + static_cast<std::ptrdiff_t>(top.timing.end) - 4800, top.captured.end(),
            StereoSample{});
  EXPECT_EQ(Find(Judge(top), Reason::CaptureGaps), nullptr) << Describe(Judge(top));

  // The envelope: two stretches without a level inside it, one of them a
  // reported dropout's.
  const HandRun clean = MakeRun(48000, 2, -3, -6, kNoise80);
  std::vector<int16_t> envelope(clean.played.size(), 1000);
  std::fill(envelope.begin(), envelope.begin() + 100, int16_t{0});  // before the first window's centre
  std::fill(envelope.end() - 4, envelope.end(), int16_t{0});        // after the last
  std::fill(envelope.begin() + 30000, envelope.begin() + 31000, int16_t{0});
  std::fill(envelope.begin() + 60000, envelope.begin() + 61000, int16_t{0});
  TimingFacts facts = clean.timing;
  facts.dropouts = 1;
  v = JudgeRun(clean.played, clean.captured, clean.rate, SignalMode::Sweep, facts, {}, envelope);
  ASSERT_NE(Find(v, Reason::CaptureGaps), nullptr) << Describe(v);
  EXPECT_EQ(Find(v, Reason::CaptureGaps)->value, 1);
  facts.dropouts = 2;
  EXPECT_EQ(Find(JudgeRun(clean.played, clean.captured, clean.rate, SignalMode::Sweep, facts, {}, envelope),
                 Reason::CaptureGaps),
            nullptr);
  // The top without a level (a capture that ended early).
  std::fill(envelope.begin() + 30000, envelope.begin() + 31000, int16_t{1000});
  std::fill(envelope.begin() + 60000, envelope.begin() + 61000, int16_t{1000});
  std::fill(envelope.end() - 2000, envelope.end(), int16_t{0});
  v = JudgeRun(clean.played, clean.captured, clean.rate, SignalMode::Sweep, clean.timing, {}, envelope);
  ASSERT_NE(Find(v, Reason::CaptureGaps), nullptr) << Describe(v);
  EXPECT_EQ(v.quality, Quality::Warning);
  std::fill(envelope.begin() + 100, envelope.end() - 4, int16_t{1000});
  EXPECT_EQ(JudgeRun(clean.played, clean.captured, clean.rate, SignalMode::Sweep, clean.timing, {}, envelope).quality,
            Quality::Good);
}
