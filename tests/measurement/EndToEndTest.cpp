// A measurement through the loopback simulator, from the test signal to the
// pixels of the response curve.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "audio/Biquad.h"
#include "audio/LoopbackSim.h"
#include "dsp/C_FFT.h"
#include "measurement/GraphScale.h"
#include "measurement/Graphs.h"
#include "measurement/MeasurementRun.h"
#include "measurement/TestSignal.h"
#include "tests/measurement/LoopbackRun.h"
#include "widgets/PictureBox.h"

using namespace measurement;
using measurement::testing::kMs;
using WaveMMIO::Biquad;
using WaveMMIO::StereoSample;

namespace {

constexpr int kRate = 48000;
constexpr uint32_t kCurve = 0xFF80FF;

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basic::SetTwipsPerPixel(15);
    measurement::testing::InstallSimulator(now);
    fft.Init(kFftPoints);
    picture.SetPixelSize(908, 198);  // the spectrum picture at the design window size
    picture.SetBackColor(0xFFFFFF);
    MeasurementRun::Callbacks cb;
    cb.StretchReady = [this](int32_t, int32_t last) {
      const int32_t start = MeasurementRun::NoiseFrameStart(last);
      if (run.Current().mode == SignalMode::Noise && run.FoldNoiseFrame(fft, start)) starts.push_back(start);
    };
    cb.SweepCompleted = [this] { run.AnalyseSweep(); };
    run.SetCallbacks(cb);
  }

  void Measure(SignalMode mode) {
    RunRequest r;
    r.deviceOut = r.deviceIn = WaveMMIO::LoopbackBackend::kDeviceName;
    r.mode = mode;
    r.sampleRate = kRate;
    r.seconds = 2;
    ASSERT_TRUE(run.Start(r));
    for (int i = 0; i < 2000 && run.Running(); ++i) {
      *now += 5 * kMs;
      run.Tick();
    }
    ASSERT_FALSE(run.Running());
  }

  // The cable's gain at f: the two Butterworth sections and -6 dB.
  static double CableGain(double f) {
    const double q = 1 / std::sqrt(2.0);
    return 0.5 * Biquad::HighPass(kRate, 100, q).MagnitudeAt(kRate, f) *
           Biquad::LowPass(kRate, 10000, q).MagnitudeAt(kRate, f);
  }

  // Rows of the curve colour in column x.
  std::vector<int> CurveRows(int x) const {
    std::vector<int> rows;
    for (int y = 0; y < picture.PixelHeight(); ++y)
      if (picture.Pixel(x, y) == kCurve) rows.push_back(y);
    return rows;
  }

  // The curve passes within two rows of row y in column x (or its neighbour,
  // where the curve's segment for that column ends).
  void ExpectCurveNear(int x, int y, double f) {
    int best = 1000;
    for (int dx : {0, 1})
      for (int row : CurveRows(x + dx)) best = std::min(best, std::abs(row - y));
    EXPECT_LE(best, 2) << f << " Hz: expected row " << y;
  }

  std::shared_ptr<int64_t> now = std::make_shared<int64_t>(3'000 * kMs);
  MeasurementRun run;
  C_FFT fft;
  basic::PictureBox picture;
  std::vector<int32_t> starts;
};

TEST_F(EndToEndTest, ASweepCurveFollowsTheCable) {
  Measure(SignalMode::Sweep);
  DrawSpectrumGrid(picture, -6);
  const Result& result = run.Current();
  DrawSweepCurve(picture, result.envelope, result.sweepTable.freq, static_cast<int32_t>(result.envelope.size()), kRate,
                 false, -6, kCurve);
  const SpectrumScale s(908, 198, kRate, -6);
  const double played = SignalAmplitude(-30) / std::sqrt(2.0);
  for (double f : {100.0, 1000.0, 10000.0}) ExpectCurveNear(s.X(f), s.Y(played * CableGain(f)), f);
}

TEST_F(EndToEndTest, ANoiseCurveFollowsTheCable) {
  Measure(SignalMode::Noise);
  ASSERT_GT(starts.size(), 20u);
  // What the same frames give when the played noise goes through the known
  // path (filters, gain, 10 ms delay) without the simulator's noise floor.
  const double q = 1 / std::sqrt(2.0);
  Biquad hp = Biquad::HighPass(kRate, 100, q), lp = Biquad::LowPass(kRate, 10000, q);
  const auto play = run.Played();
  std::vector<StereoSample> expected(play.size());
  for (size_t i = 480; i < expected.size(); ++i) {
    const auto v = static_cast<int16_t>(std::nearbyint(0.5 * lp.Process(hp.Process(play[i - 480].Left))));
    expected[i] = {v, v};
  }
  NoiseSpectrum reference;
  for (int32_t start : starts) NoiseStep(fft, expected, run.TotalFrames(), start, reference);

  // The measured curve and the reference curve, drawn alike: their rows agree.
  basic::PictureBox known;
  known.SetPixelSize(908, 198);
  known.SetBackColor(0xFFFFFF);
  DrawSpectrumGrid(known, -6);
  DrawNoiseCurve(known, reference, kRate, -6, kCurve);
  DrawSpectrumGrid(picture, -6);
  DrawNoiseCurve(picture, run.Current().spectrum, kRate, -6, kCurve);
  const SpectrumScale s(908, 198, kRate, -6);
  for (double f : {100.0, 1000.0, 10000.0}) {
    int k = 1;  // the first bin at or above f: its column carries a point of both curves
    while (k < 1024 && s.XOfBin(k) < s.X(f)) ++k;
    const int x = s.XOfBin(k);
    int row = -1;
    for (int y = 0; y < 198 && row < 0; ++y)
      if (known.Pixel(x - 1, y) == kCurve) row = y;
    ASSERT_GE(row, 0) << f;
    ExpectCurveNear(x - 1, row, f);
  }
  // And the level itself is what the cable's response makes of the played noise.
  const int k1 = 1000 * 2048 / kRate;
  EXPECT_NEAR(run.Current().spectrum.values[static_cast<size_t>(k1)] / reference.values[static_cast<size_t>(k1)], 1.0,
              0.05);
}

}  // namespace
