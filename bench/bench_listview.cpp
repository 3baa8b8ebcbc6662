// The results list with many items: one full-page redraw, and sorting by a
// text and by a numeric column.
#include <benchmark/benchmark.h>

#include <random>

#include "controls/UC_ListView/UC_ListView.h"
#include "widgets/PictureBox.h"

namespace {

void Fill(UC_ListView& lv, int items) {
  lv.resize(400, 600);
  lv.SetNumData(2);
  lv.Init();
  lv.SetTabWidth(0, 3000);
  lv.SetTabWidth(1, 1500);
  lv.InitTab();
  lv.AddItem(items);
  std::mt19937 rng(3);
  for (int i = 0; i < items; ++i) {
    lv.SetValue(i, 0, QStringLiteral("result %1").arg(rng() % 1000000));
    lv.SetValue(i, 1, static_cast<int>(rng() % 100000));
  }
  lv.SetVbarParm();
}

void BM_ListReDraw100k(benchmark::State& state) {
  basic::SetTwipsPerPixel(15);
  UC_ListView lv;
  Fill(lv, 100000);
  lv.SetSelectedItem(3);
  for (auto _ : state) lv.ReDraw();
}
BENCHMARK(BM_ListReDraw100k)->Unit(benchmark::kMillisecond);

void BM_ListReOrder100k(benchmark::State& state) {
  basic::SetTwipsPerPixel(15);
  UC_ListView lv;
  Fill(lv, 100000);
  const bool numeric = state.range(0) == 1;
  lv.SetDataNumeric(1, numeric ? 1 : 0);
  for (auto _ : state) {
    state.PauseTiming();
    lv.RndItem();
    state.ResumeTiming();
    lv.ReOrder(numeric ? 1 : 0, 1, -1);
  }
  state.SetLabel(numeric ? "numeric column" : "text column");
}
BENCHMARK(BM_ListReOrder100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
