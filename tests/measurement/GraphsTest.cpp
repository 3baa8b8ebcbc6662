#include "measurement/Graphs.h"

#include <gtest/gtest.h>

#include <cmath>

#include "measurement/Export.h"
#include "measurement/GraphScale.h"
#include "measurement/Result.h"
#include "measurement/TestSignal.h"
#include "support/Decibels.h"
#include "support/Surface.h"
#include "widgets/PictureBox.h"

using namespace measurement;
using basic::PictureBox;
using WaveMMIO::StereoSample;

namespace {

class GraphsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basic::SetTwipsPerPixel(15);
    pic.SetPixelSize(600, 200);
    pic.SetBackColor(0xFFFFFF);
    pic.Cls();
  }
  int InkRowsInColumn(int x, uint32_t color, int& first) const {
    int n = 0;
    first = -1;
    for (int y = 0; y < pic.PixelHeight(); ++y)
      if (pic.Pixel(x, y) == color) {
        if (first < 0) first = y;
        ++n;
      }
    return n;
  }
  PictureBox pic;
};

TEST_F(GraphsTest, GridLinesSitWhereTheOffsetPutsThem) {
  DrawSpectrumGrid(pic, -6.0f);
  EXPECT_EQ(pic.Pixel(300, 0), kGridColor);  // "+6" on the top row
  const int minus6 = static_cast<int>(std::nearbyint(200 - 200 * basic::DbToLin(-12)));
  EXPECT_NEAR(minus6, 150, 1);  // three quarters down
  EXPECT_EQ(pic.Pixel(300, minus6), kGridColor);
  const int zero = static_cast<int>(std::nearbyint(200 - 200 * basic::DbToLin(-6)));
  EXPECT_EQ(pic.Pixel(300, zero), kZeroLineColor);  // the 0 dB line is dark red
  EXPECT_EQ(pic.Pixel(18, zero), 0xFFFFFFu);        // lines start at x = 20
  EXPECT_EQ(pic.Pixel(20, zero), kZeroLineColor);
}

TEST_F(GraphsTest, TheHandleSetsTheOffset) {
  EXPECT_NEAR(OffsetForReference(1500, 3000), -6.02, 0.01);
  EXPECT_NEAR(OffsetForReference(0, 3000), 0.0, 1e-9);
}

TEST_F(GraphsTest, FrequencyReadout) {
  EXPECT_EQ(FrequencyReadout(1000.0f), "1000Hz");
  EXPECT_EQ(FrequencyReadout(1000.5f), "1.0kHz");
  EXPECT_EQ(FrequencyReadout(1500.0f), "1.5kHz");
  EXPECT_EQ(FrequencyReadout(523.2f), "523Hz");
}

TEST_F(GraphsTest, FrequencyAxisLabels) {
  const auto labels = FreqScaleLabels(44100, 600, 15);
  ASSERT_EQ(labels.size(), 24u);
  EXPECT_EQ(labels[0].text, "|10");
  EXPECT_EQ(labels[0].x, 0.0);
  EXPECT_EQ(labels[10].text, "|1k");
  EXPECT_EQ(labels[11].text, "|1.6k");
  EXPECT_EQ(labels[17].text, "|25k");
  EXPECT_EQ(labels[23].text, "|400k");
  const SpectrumScale scale(600, 10, 44100, 0);
  for (const ScaleLabel& l : labels) {
    if (l.x < 600 * 15) {
      EXPECT_LE(l.x, scale.X(22050) * 15 + 15) << l.text.toStdString();
    }
  }
  EXPECT_GE(labels[17].x, 600 * 15);  // 25 kHz lies outside the picture
  pic.SetForeColor(0);
  DrawFreqScaleOn(pic, 44100);
  int leftmostInk = -1;  // "|10" starts at the left edge (its bar has a small side bearing)
  for (int x = 0; x < 600 && leftmostInk < 0; ++x)
    for (int y = 0; y < 200; ++y)
      if (pic.Pixel(x, y) != 0xFFFFFFu) leftmostInk = x;
  EXPECT_GE(leftmostInk, 0);
  EXPECT_LE(leftmostInk, 4);
}

// Zero envelope entries are places where nothing was measured: a gap in the
// capture must neither end the curve nor pull it down.
TEST_F(GraphsTest, ASweepCurveRunsOnPastZeroLevels) {
  const int32_t rate = 8000, n = 3 * rate;
  SweepTable table;
  MakeSweepFreqTable(table, rate, n);
  std::vector<int16_t> level(static_cast<size_t>(n), 16000);
  const int cut = rate + 2000;
  level[static_cast<size_t>(cut)] = 0;                                                // one lost sample
  for (int i = 2 * rate; i < 2 * rate + 400; ++i) level[static_cast<size_t>(i)] = 0;  // a 50 ms gap
  for (int i = rate / 2; i < rate; i += 2) level[static_cast<size_t>(i)] = 0;         // every other one lost
  DrawSweepCurve(pic, level, table.freq, n, rate, false, -6, 0x00FF00);
  const SpectrumScale s(600, 200, rate, -6);
  const int y = s.Y(16000);
  const int xGapEnd = s.X(table.freq[static_cast<size_t>(2 * rate + 400)]);
  const int xLast = s.X(table.freq[static_cast<size_t>(n - 1)]);
  ASSERT_LT(xGapEnd + 5, std::min(xLast, 599));
  // From the first column on, every column up to the sweep's last one has
  // the curve at the level's row and nowhere else.
  for (int x = 2; x <= std::min(xLast, 599); ++x) {
    int first = -1;
    ASSERT_EQ(InkRowsInColumn(x, 0x00FF00, first), 1) << x;
    ASSERT_EQ(first, y) << x;
  }
}

// The same gaps in the picture and the CSV a result is exported as.
TEST_F(GraphsTest, ExportedSweepsRunOnPastZeroLevels) {
  Result state;
  state.mode = SignalMode::Sweep;
  state.sampleRate = 8000;
  const int32_t n = 3 * state.sampleRate;
  MakeSweepFreqTable(state.sweepTable, state.sampleRate, n);
  state.envelope.assign(static_cast<size_t>(n), 16000);
  for (int i = 2 * 8000; i < 2 * 8000 + 400; ++i) state.envelope[static_cast<size_t>(i)] = 0;
  state.envelope[static_cast<size_t>(8000 + 2000)] = 0;
  const std::vector<CurvePoint> curve = ResultCurve(state, -6);
  ASSERT_FALSE(curve.empty());
  EXPECT_GT(curve.back().frequency, 0.95 * state.sweepTable.freq.back());
  for (const CurvePoint& p : curve) ASSERT_NEAR(p.levelDb, GridDb(16000, -6), 1e-9) << p.frequency;
  // Played at -20 dB, an envelope of 16000 is a gain of +13.8 dB: the
  // picture's grid reads it where the curve is drawn, one row at most apart.
  state.levelTenthsDb = -200;
  const double gain = SweepGainDb(16000, -20);
  const QString csv = ResultCsv(state);
  const QStringList lines = csv.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(static_cast<size_t>(lines.size()), curve.size() + 1);
  for (qsizetype i = 1; i < lines.size(); ++i) ASSERT_NEAR(lines[i].section(',', 1).toDouble(), gain, 0.005);
  state.envelope.assign(static_cast<size_t>(n), 1600);  // -6.2 dB: inside the picture
  const QImage picture = SpectrumPicture(state, {}, 0x00FF00, QSize(600, 300));
  const int axis = basic::TwipsToPixels(255);
  const SpectrumScale s(600, 300 - axis, state.sampleRate, kPictureOffsetDb);
  const int row = s.GridY(SweepGainDb(1600, -20));
  const int xLast = s.X(state.sweepTable.freq.back());
  for (int x = 2; x <= std::min(xLast, 599); ++x) {
    int rows = 0;
    for (int yy = 0; yy < 300 - axis; ++yy)
      if ((picture.pixel(x, yy) & 0xFFFFFFu) == 0x00FF00u) {  // 0x00BBGGRR green is green in RGB too
        ++rows;
        ASSERT_NEAR(yy, row, 1) << x;
      }
    ASSERT_EQ(rows, 1) << x;
  }
}

TEST_F(GraphsTest, ANoiseCurveAveragesBinsPerColumn) {
  NoiseSpectrum spectrum;
  for (int k = 0; k < 1025; ++k) spectrum.values[static_cast<size_t>(k)] = 8000;
  DrawNoiseCurve(pic, spectrum, 48000, -6, 0xFF00FF);
  const SpectrumScale s(600, 200, 48000, -6);
  int first = -1;
  EXPECT_GE(InkRowsInColumn(s.XOfBin(512) - 1, 0xFF00FF, first), 1);
  EXPECT_EQ(first, s.Y(8000));
}

TEST_F(GraphsTest, WaveformShowsBothPeakEnvelopes) {
  pic.SetPixelSize(464, 115);
  pic.SetForeColor(0);
  std::vector<StereoSample> play(10000, StereoSample{16384, 0}), rec(10000, StereoSample{-8192, 0});
  DrawWaveOn(pic, play, rec, 1, 4000);
  const int y1 = static_cast<int>(std::nearbyint((115 * 15 - 60) / 30.0 / 2)), y2 = 3 * y1;
  const float k = std::abs(static_cast<int>(std::nearbyint((115 * 15 - 30) / 2.0)) / 15 / 65536.0f);
  int first = -1, upper = 0, lower = 0;
  InkRowsInColumn(100, 0, first);
  EXPECT_EQ(first, static_cast<int>(std::nearbyint(y1 - 16384 * k)));
  for (int y = 0; y < 115; ++y) (y < 2 * y1 ? upper : lower) += pic.Pixel(100, y) == 0u;
  EXPECT_NEAR(upper, 2 * 16384 * k, 1);  // from y1 - a k to y1 + a k
  EXPECT_NEAR(lower, 2 * 8192 * k, 1);
  EXPECT_EQ(pic.Pixel(100, y2), 0u);
  // One frame per column still moves along the capture instead of repeating it.
  std::vector<StereoSample> ramp(2000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = {static_cast<int16_t>(i * 300), 0};
  pic.SetPixelSize(100, 115);
  DrawWaveOn(pic, ramp, ramp, 0, 99);
  int a = -1, b = -1;
  InkRowsInColumn(10, 0, a);
  InkRowsInColumn(80, 0, b);
  EXPECT_LT(b, a);  // taller further right
}

TEST(MeterFeedTest, SquareAndSineLevels) {
  std::vector<StereoSample> square(4800), sine(4800);
  for (size_t i = 0; i < square.size(); ++i) {
    square[i] = {static_cast<int16_t>(i % 2 ? 32767 : -32767), 0};
    sine[i] = {static_cast<int16_t>(std::lround(32767 * std::sin(2 * 3.14159265358979 * 1000 * i / 48000.0))), 0};
  }
  const StretchLevels sq = MeasureStretch(square, square, 1, 4799);
  EXPECT_EQ(MeterText(static_cast<float>(basic::LinToDb(sq.rms[1] / 32767))), "0.0");
  EXPECT_EQ(MeterText(static_cast<float>(basic::LinToDb(sq.rms[1] * 1.412538 / 32767))), "3.0");
  EXPECT_EQ(sq.peak[0], 32767);
  const StretchLevels si = MeasureStretch(sine, sine, 1, 4799);
  EXPECT_EQ(MeterText(static_cast<float>(basic::LinToDb(si.rms[1] / 32767))), "-3.0");
  EXPECT_EQ(MeterText(static_cast<float>(basic::LinToDb(si.rms[1] * 1.412538 / 32767))), "0.0");
  EXPECT_EQ(MeterText(-110.0f), "-110.0");
  const StretchLevels none = MeasureStretch(sine, sine, 10, 99999);  // never past the buffers
  EXPECT_GT(none.rms[0], 0);
}

}  // namespace

namespace {

// The sweep curve, point by point as it is defined: the column of every point
// computed afresh. The drawing must give exactly these pixels.
TEST_F(GraphsTest, TheSweepCurveMatchesThePointByPointDefinition) {
  for (int32_t rate : {8000, 44100, 96000}) {
    const int32_t n = 4 * rate;
    SweepTable table;
    MakeSweepFreqTable(table, rate, n);
    std::vector<int16_t> level(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
      level[static_cast<size_t>(i)] = static_cast<int16_t>(8000 + 7000 * std::sin(i * 0.0003));
    PictureBox naive;
    naive.SetPixelSize(600, 200);
    naive.SetBackColor(0xFFFFFF);
    naive.Cls();
    naive.SetForeColor(0x00FF00);
    const SpectrumScale s(600, 200, rate, -6);
    naive.MoveTo(0, 200);
    double sum = 0;
    int count = 0, last = 0;
    for (int32_t m = 0; m < n; ++m) {
      sum += level[static_cast<size_t>(m)];
      ++count;
      const int x = s.X(table.freq[static_cast<size_t>(m)]);
      if (x != last) {
        naive.LineTo(x, s.Y(sum / count));
        last = x;
        sum = 0;
        count = 0;
      }
    }
    pic.Cls();
    DrawSweepCurve(pic, level, table.freq, n, rate, false, -6, 0x00FF00);
    EXPECT_EQ(pic.Image(), naive.Image()) << rate;
  }
}

}  // namespace
