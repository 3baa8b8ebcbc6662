#include "window/FrmDetails.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

#include "controls/UC_Buttons/UC_Buttons.h"
#include "controls/UC_Check/UC_Check.h"
#include "support/ErrorTrap.h"
#include "support/Rounding.h"
#include "widgets/Drawing.h"
#include "widgets/PictureBox.h"

using basic::PictureBox;
using measurement::DetailTab;
using measurement::ViewSmoothing;

namespace {

// The design client size and the fixed parts of the layout, in twips.
constexpr int kClientWidth = 14400, kClientHeight = 9000;
constexpr int kMargin = 105, kRowHeight = 300, kChecksWidth = 2250;
constexpr int kTabsLeft = 105, kTabsWidth = 7800;
constexpr int kSmoothWidth = 4200;
constexpr int kPlotTop = 1590;

int Px(int twips) { return basic::TwipsToPixels(twips); }

}  // namespace

FrmDetails::FrmDetails(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("詳細"));
  basic::Trap([&] {
    m_Background = new PictureBox(this);
    m_Background->lower();
    TabButtons = new UC_Buttons(this);
    SmoothButtons = new UC_Buttons(this);
    PicturePlot = new PictureBox(this);
    PicturePlot->setMouseTracking(true);
    TextCursor = new QLineEdit(this);
    TextCursor->setReadOnly(true);
    TextSummary = new QLabel(this);

    TabButtons->setGeometry(Px(kTabsLeft), Px(150), Px(kTabsWidth), Px(kRowHeight));
    TabButtons->SetNumButtons(measurement::kDetailTabCount);
    for (int i = 0; i < measurement::kDetailTabCount; ++i)
      TabButtons->SetButtonChar(i, measurement::DetailTabLabel(static_cast<DetailTab>(i)));
    TabButtons->Init();
    TabButtons->SetSelectedButton(0);
    SmoothButtons->resize(Px(kSmoothWidth), Px(kRowHeight));
    SmoothButtons->SetNumButtons(measurement::kSmoothingCount);
    for (int i = 0; i < measurement::kSmoothingCount; ++i)
      SmoothButtons->SetButtonChar(i, measurement::SmoothingLabel(static_cast<ViewSmoothing>(i)));
    SmoothButtons->Init();
    SmoothButtons->SetSelectedButton(0);
    PicturePlot->SetBackColor(measurement::kPlotBack);
    basic::SetControlColors(TextCursor, 0, 0xE0B0B0);

    connect(TabButtons, &UC_Buttons::ButtonClicked, this, [this](int i) { ShowTab(static_cast<DetailTab>(i)); });
    connect(SmoothButtons, &UC_Buttons::ButtonClicked, this,
            [this](int i) { SetSmoothing(static_cast<ViewSmoothing>(i)); });
    connect(PicturePlot, &PictureBox::MouseMove, this, &FrmDetails::PicturePlot_MouseMove);
    CreateFileControls();
    CreateLevelControls();
    CreateExportControls();
  });
  resize(Px(kClientWidth), Px(kClientHeight));
}

FrmDetails::~FrmDetails() = default;

void FrmDetails::hideEvent(QHideEvent* event) {
  // The input is not kept open behind a closed window.
  StopInput();
  QWidget::hideEvent(event);
}

void FrmDetails::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Layout();
}

void FrmDetails::Layout() {
  basic::Trap([&] {
    const int tpp = basic::TwipsPerPixel();
    const int w = width() * tpp, h = height() * tpp;
    m_Background->setGeometry(rect());
    SmoothButtons->move(Px(std::max(kTabsLeft + kTabsWidth + 900, w - kMargin - kSmoothWidth)), Px(150));
    TextSummary->setGeometry(Px(kMargin), Px(510), Px(std::max(600, w - 2 * kMargin - 3400)), Px(kRowHeight));
    TextCursor->setGeometry(Px(w - kMargin - 3200), Px(510), Px(3200), Px(270));
    LayoutFileControls(w);
    LayoutLevelControls(w);
    if (ButtonExport) ButtonExport->setGeometry(Px(w - kMargin - 2100), Px(1215), Px(2100), Px(kRowHeight));
    PicturePlot->setGeometry(Px(kMargin), Px(kPlotTop), Px(std::max(600, w - 3 * kMargin - kChecksWidth)),
                             Px(std::max(600, h - kPlotTop - kMargin)));
    const int checksLeft = w - kMargin - kChecksWidth + 300;
    for (size_t i = 0; i < CheckResult.size(); ++i) {
      const int top = kPlotTop + static_cast<int>(i) * kRowHeight;
      CheckResult[i]->move(Px(checksLeft), Px(top));
      CheckResult[i]->setVisible(top + kRowHeight <= h - kMargin);
    }
    DrawBackground();
    Redraw();
  });
}

void FrmDetails::DrawBackground() {
  basic::PaintBackground(*m_Background, 14);
  m_Background->SetForeColor(0);
  basic::PrintCaption(*m_Background, *SmoothButtons, QStringLiteral("平滑化"), 6);
  // Each result's colour beside its check box, as in the results list.
  const int tpp = basic::TwipsPerPixel();
  for (size_t i = 0; i < CheckResult.size() && i < m_Results.size(); ++i) {
    const QRect g = CheckResult[i]->geometry();
    if (!CheckResult[i]->isVisibleTo(this)) continue;
    const double x = (g.x() - 16) * tpp, y = (g.y() + g.height() / 2 - 5) * tpp;
    m_Background->Line(x, y, x + 11.0 * tpp, y + 11.0 * tpp, m_Results[i].color, basic::LineKind::FilledBox);
    m_Background->Line(x, y, x + 11.0 * tpp, y + 11.0 * tpp, 0x404040, basic::LineKind::Box);
  }
  m_Background->Changed();
}

void FrmDetails::BuildChecks() {
  for (UC_Check* c : CheckResult) c->deleteLater();
  CheckResult.clear();
  for (size_t i = 0; i < m_Results.size(); ++i) {
    auto* check = new UC_Check(this);
    check->SetCaption(m_Results[i].name);
    check->SetValue(m_Shown[i] ? 1 : 0);
    connect(check, &UC_Check::Click, this, [this, i] {
      if (i < m_Shown.size() && i < CheckResult.size()) SetShown(static_cast<int>(i), CheckResult[i]->Value() == 1);
    });
    check->show();
    CheckResult.push_back(check);
  }
}

void FrmDetails::SetResults(const std::vector<Entry>& results, int primary, float offsetDb) {
  basic::Trap([&] {
    std::vector<bool> shown(results.size(), false);
    for (size_t i = 0; i < results.size(); ++i)
      for (size_t j = 0; j < m_Results.size() && j < m_Shown.size(); ++j)
        if (m_Shown[j] && m_Results[j].path == results[i].path) shown[i] = true;
    m_Results = results;
    m_Primary = primary >= 0 && static_cast<size_t>(primary) < results.size() ? primary : -1;
    if (m_Primary >= 0) shown[static_cast<size_t>(m_Primary)] = true;
    for (size_t i = 0; i < results.size(); ++i)
      if (m_ShowWhenListed.erase(results[i].path) > 0) shown[i] = true;
    m_Shown = shown;
    if (offsetDb != m_OffsetDb) m_Cache.Clear();
    m_OffsetDb = offsetDb;
    BuildChecks();
    Layout();
  });
}

void FrmDetails::SetReferences(std::vector<measurement::ReferenceCurve> references) {
  m_References = std::move(references);
  Redraw();
}

void FrmDetails::SetCalibration(measurement::Calibration calibration) {
  m_Calibration = std::move(calibration);
  Redraw();
}

bool FrmDetails::IsShown(int index) const {
  return index >= 0 && static_cast<size_t>(index) < m_Shown.size() && m_Shown[static_cast<size_t>(index)];
}

void FrmDetails::SetShown(int index, bool shown) {
  if (index < 0 || static_cast<size_t>(index) >= m_Shown.size()) return;
  m_Shown[static_cast<size_t>(index)] = shown;
  if (static_cast<size_t>(index) < CheckResult.size() && CheckResult[static_cast<size_t>(index)]->Value() != shown)
    CheckResult[static_cast<size_t>(index)]->SetValue(shown ? 1 : 0);
  Redraw();
}

void FrmDetails::ShowTab(DetailTab tab) {
  m_Tab = tab;
  TabButtons->SetSelectedButton(static_cast<int16_t>(tab));
  Redraw();
}

void FrmDetails::SetSmoothing(ViewSmoothing smoothing) {
  m_Smoothing = smoothing;
  SmoothButtons->SetSelectedButton(static_cast<int16_t>(smoothing));
  Redraw();
}

std::vector<measurement::DetailSeries> FrmDetails::ShownSeries() {
  std::vector<measurement::DetailSeries> series;
  const auto add = [&](size_t i) {
    const Entry& e = m_Results[i];
    if (!e.reference) series.push_back({e.name, e.color, m_Cache.Get(e.path, m_OffsetDb)});
  };
  // The result the window was opened for comes first, then the others in
  // the list's order.
  if (m_Primary >= 0 && IsShown(m_Primary)) add(static_cast<size_t>(m_Primary));
  for (size_t i = 0; i < m_Results.size(); ++i)
    if (static_cast<int>(i) != m_Primary && IsShown(static_cast<int>(i))) add(i);
  return series;
}

void FrmDetails::Redraw() {
  basic::Trap([&] {
    if (!PicturePlot) return;
    basic::SetMousePointer(basic::vbHourglass);
    const std::vector<measurement::DetailSeries> series = ShownSeries();
    m_Views = measurement::BuildDetailViews(m_Tab, m_Smoothing, series, ShownReferences(), m_Calibration);
    measurement::DrawPlots(*PicturePlot, m_Views);
    // What does not fit the line ends in "…"; the whole of it is the tooltip.
    const QString summary =
        series.empty() || !series.front().details ? QString() : measurement::DetailSummary(*series.front().details);
    const QString fits = TextSummary->fontMetrics().elidedText(summary, Qt::ElideRight, TextSummary->width());
    TextSummary->setText(fits);
    TextSummary->setToolTip(fits == summary ? QString() : summary);
    if (ButtonExport)
      ButtonExport->setEnabled(!series.empty() && series.front().details && series.front().details->HasResponse());
    TextCursor->clear();
  });
  basic::SetMousePointer(basic::vbDefault);
}

void FrmDetails::PicturePlot_MouseMove(int, int, double x, double y) {
  basic::Trap([&] {
    const int tpp = basic::TwipsPerPixel();
    const int column = basic::Round32(x / tpp), row = basic::Round32(y / tpp);
    const auto count = static_cast<int>(m_Views.size());
    const std::vector<measurement::PlotPane> panes = measurement::StackPanes(PicturePlot->PixelHeight(), count);
    for (int i = 0; i < count; ++i) {
      const measurement::PlotPane& pane = panes[static_cast<size_t>(i)];
      if (row < pane.top || row >= pane.top + pane.height) continue;
      const measurement::PlotView& view = m_Views[static_cast<size_t>(i)];
      const measurement::PlotScale scale = measurement::ScaleOfPane(*PicturePlot, view, i, count);
      TextCursor->setText(measurement::CursorReadout(view, scale, column, row));
      return;
    }
    TextCursor->clear();
  });
}
