// The window: its controls, how they are wired to the run, and the small handlers.
#include "window/FrmMain.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QResizeEvent>
#include <QWheelEvent>
#include <cmath>

#include "controls/UC_Buttons/UC_Buttons.h"
#include "controls/UC_ListView/UC_ListView.h"
#include "controls/UC_Slider/UC_Slider.h"
#include "controls/UC_TextPicture/UC_TextPicture.h"
#include "measurement/GraphScale.h"
#include "measurement/Graphs.h"
#include "support/ErrorTrap.h"
#include "widgets/PictureBox.h"
#include "window/FrmDetails.h"

using basic::PictureBox;

namespace {

// A control at its design position and size, in twips.
void Place(QWidget* w, int left, int top, int width, int height) {
  w->setGeometry(basic::TwipsToPixels(left), basic::TwipsToPixels(top), basic::TwipsToPixels(width),
                 basic::TwipsToPixels(height));
}

}  // namespace

FrmMain::FrmMain(QWidget* parent) : QWidget(parent) {
  CreateControls();
  WireRun();
  Form_Load();
}

FrmMain::~FrmMain() { m_Run.CloseDevices(); }

void FrmMain::CreateControls() {
  basic::SetTwipsPerPixel(basic::ScreenTwipsPerPixel());
  for (int i = 0; i < 2; ++i) ComboDev[static_cast<size_t>(i)] = new QComboBox(this);
  SliderValue.push_back(new UC_Slider(this));
  TextValue.push_back(new UC_TextPicture(this));
  m_Background = new PictureBox(this);
  m_Background->lower();
  ComboFreq = new QComboBox(this);
  ComboMode = new QComboBox(this);
  RecButton = new UC_Buttons(this);
  LV = new UC_ListView(this);
  PictureVU = new PictureBox(this);
  PictureWave = new PictureBox(this);
  PictureFFT = new PictureBox(this);
  PictureScale = new PictureBox(this);
  PictureA = new PictureBox(PictureFFT);
  // The clear button and the frequency read-out stand on the spectrum
  // picture, so they are its children: as siblings above it they went
  // unpainted whenever Qt moved the opaque picture by copying its pixels
  // (as when the window manager fits a restored size after the window shows).
  ClearButton = new UC_Buttons(PictureFFT);
  TextFreq = new QLineEdit(PictureFFT);
  TextDelay = new QLabel(this);
  TextVerdict = new QLabel(this);
  TimerRec = new QTimer(this);
  TimerRec->setInterval(5);
  TimerRec->setTimerType(Qt::PreciseTimer);

  MenuLV = new QMenu(this);
  MenuDelete = MenuLV->addAction(QStringLiteral("Delete"));
  MenuSave = MenuLV->addAction(QStringLiteral("Save As"));
  MenuExportCsv = MenuLV->addAction(QStringLiteral("Export CSV..."));
  MenuSavePicture = MenuLV->addAction(QStringLiteral("Save Picture..."));
  MenuDetails = MenuLV->addAction(QStringLiteral("Details..."));
  MenuRC = new QMenu(this);
  MenuRMSP3 = MenuRC->addAction(QStringLiteral("RMS+3db"));
  MenuRMSP3->setCheckable(true);

  Place(ComboDev[0], 1050, 165, 3360, 300);
  // The rate, the mode and the start button share a column wide enough for
  // the longest mode, "ホワイトノイズ", beside its arrow.
  constexpr int kColumnWidth = 1710;
  Place(ComboFreq, 5385, 165, kColumnWidth, 300);
  Place(ComboDev[1], 1050, 495, 3360, 300);
  Place(ComboMode, 5385, 495, kColumnWidth, 300);
  Place(SliderValue[0], 1050, 915, 3360, 300);
  Place(TextValue[0], 4455, 915, 585, 300);
  Place(RecButton, 5385, 915, kColumnWidth, 300);
  Place(PictureVU, 105, 1740, 6960, 690);
  Place(PictureWave, 105, 2475, 6960, 1725);
  Place(PictureFFT, 105, 4260, 11400, 2520);
  Place(PictureScale, 105, 6960, 11370, 255);
  Place(LV, 7185, 150, 4230, 4050);
  // Within the spectrum picture (at 105, 4260).
  Place(ClearButton, 10035 - 105, 4425 - 4260, 1335, 300);
  Place(TextFreq, 210 - 105, 4365 - 4260, 900, 270);

  connect(RecButton, &UC_Buttons::ButtonClicked, this, &FrmMain::RecButton_ButtonClicked);
  connect(ClearButton, &UC_Buttons::ButtonClicked, this, &FrmMain::ClearButton_ButtonClicked);
  connect(TimerRec, &QTimer::timeout, this, &FrmMain::TimerRec_Timer);
  connect(MenuRMSP3, &QAction::triggered, this, &FrmMain::MenuRMSP3_Click);
  connect(PictureVU, &PictureBox::MouseUp, this, [this](int button, int, double, double) {
    if (button == basic::vbRightButton) MenuRC->popup(QCursor::pos());
  });
  connect(PictureFFT, &PictureBox::MouseMove, this, &FrmMain::PictureFFT_MouseMove);
  connect(LV, &UC_ListView::Clicked, this, &FrmMain::LV_Clicked);
  connect(LV, &UC_ListView::RightClicked, this, &FrmMain::LV_RightClicked);
  connect(LV, &UC_ListView::OLEDragDrop, this,
          [this](const QStringList& paths, int, int, int, double, double y) { LV_OLEDragDrop(paths, y); });
  connect(MenuDelete, &QAction::triggered, this, &FrmMain::MenuDelete_Click);
  connect(MenuSave, &QAction::triggered, this, &FrmMain::MenuSave_Click);
  connect(MenuExportCsv, &QAction::triggered, this, &FrmMain::MenuExportCsv_Click);
  connect(MenuSavePicture, &QAction::triggered, this, &FrmMain::MenuSavePicture_Click);
  connect(MenuDetails, &QAction::triggered, this, &FrmMain::MenuDetails_Click);
  connect(LV, &UC_ListView::DblClicked, this, &FrmMain::LV_DblClicked);
  connect(PictureA, &PictureBox::MouseMove, this, &FrmMain::PictureA_MouseMove);
  // The details window's correction files follow the input device.
  connect(ComboDev[1], &QComboBox::currentIndexChanged, this, [this] {
    if (m_Details && m_Details->isVisible()) m_Details->SetInputDevice(InputDeviceName());
  });
}

void FrmMain::WireRun() {
  measurement::MeasurementRun::Callbacks cb;
  cb.RateChanged = [this] {
    m_ShowingRun = true;
    DrawFreqScale(PictureScale);
  };
  cb.StretchReady = [this](int32_t first, int32_t last) {
    DrawVU(first, last);
    DrawWave(first, last);
    DrawSpectrum(measurement::MeasurementRun::NoiseFrameStart(last), 0, 0, 0, 0);
  };
  cb.Stopped = [this] { OnRunStopped(); };
  cb.SweepCompleted = [this] { AnalyseSweep(); };
  cb.ResultReady = [this](const QString& path, const measurement::Result& result) {
    ShowVerdict(result.verdict);
    const QString stored = SaveResult(path, result);
    if (stored.isEmpty()) return;
    AddResultItem(stored, -2, 1, result.levelTenthsDb);
    m_DelayReadout = {stored,
                      TextDelay->text(),
                      TextDelay->toolTip(),
                      TextDelay->palette(),
                      TextVerdict->text(),
                      TextVerdict->toolTip(),
                      TextVerdict->palette()};
  };
  cb.PathTaken = [this](const QString& path) { return ListHoldsPath(path); };
  m_Run.SetCallbacks(cb);
}

void FrmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_Background->setGeometry(rect());
  Form_Resize();
}

void FrmMain::PaintHandle() {
  // A small marker whose 6th row is the 0 dB line.
  PictureA->SetBackColor(0xE0E0E0);
  PictureA->Cls();
  PictureA->SetForeColor(measurement::kZeroLineColor);
  for (int r = 0; r < 6; ++r) {
    PictureA->MoveTo(r, 6 - r);
    PictureA->LineTo(r, 7 + r);
  }
  PictureA->MoveTo(0, 6);
  PictureA->LineTo(12, 6);
}

void FrmMain::SliderValue_Scrolled(int Index, int) {
  basic::Trap([&] {
    if (Index < 0 || Index >= static_cast<int>(SliderValue.size()) || Index >= static_cast<int>(TextValue.size()))
      return;
    const int32_t v = SliderValue[static_cast<size_t>(Index)]->Value();
    const QString text = Index == 0 ? QString::number(v) : QString::number(v / 10.0, 'f', 1);
    TextValue[static_cast<size_t>(Index)]->DispMes(0, text);
  });
}

void FrmMain::MenuRMSP3_Click() {
  // The action has already toggled its check mark.
  m_RmsP3 = MenuRMSP3->isChecked() ? 1 : 0;
}

int32_t FrmMain::ResultCount() const { return LV ? LV->ItemCount() : 0; }

uint32_t FrmMain::NextTraceColor() const {
  for (const uint32_t color : m_TraceColors) {
    bool taken = false;
    for (int32_t i = 0; i < ResultCount() && !taken; ++i) taken = LV->DispColor(i) == color;
    if (!taken) return color;
  }
  return m_TraceColors[static_cast<size_t>(ResultCount() % 7)];
}

void FrmMain::wheelEvent(QWheelEvent* event) {
  // The list scrolls with the wheel wherever the pointer is over it.
  if (LV && LV->geometry().contains(event->position().toPoint())) {
    const int notches = event->angleDelta().y() / 120;
    LV->VBarScroll(-notches);
    event->accept();
    return;
  }
  QWidget::wheelEvent(event);
}

void FrmMain::PictureFFT_MouseMove(int, int, double x, double) {
  basic::Trap([&] {
    const int32_t rate = Shown().sampleRate;
    if (!m_Loaded || rate == 0) return;
    const float f =
        measurement::XToFrequency(static_cast<float>(x), PictureScale->PixelWidth(), rate, basic::TwipsPerPixel());
    TextFreq->setText(measurement::FrequencyReadout(f));
  });
}

void FrmMain::PictureA_MouseMove(int button, int, double, double y) {
  basic::Trap([&] {
    if (button != basic::vbLeftButton) return;
    const int tpp = basic::TwipsPerPixel();
    double t = PictureA->Top() + y - 6 * tpp;
    t = std::max<double>(t, (ClearButton->y() + ClearButton->height()) * tpp);
    t = std::min<double>(t, PictureFFT->Height() - PictureA->Height() - 6 * tpp);
    PictureA->SetTop(static_cast<int>(std::nearbyint(t)));
    const double r = PictureA->Top() + 6 * tpp;
    m_OffsetDb = measurement::OffsetForReference(r, PictureFFT->ScaleHeight());
    DrawSpectrum(0, 0, 0, 0, 1);
  });
}
