#include "measurement/FrmMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QResizeEvent>
#include <QWheelEvent>
#include <QTimer>
#include <cmath>
#include <stdexcept>

#include "audio/WaveMMIO.h"
#include "controls/UC_Buttons/UC_Buttons.h"
#include "controls/UC_ListView/UC_ListView.h"
#include "controls/UC_Slider/UC_Slider.h"
#include "controls/UC_TextPicture/UC_TextPicture.h"
#include "measurement/Analysis.h"
#include "measurement/Graphs.h"
#include "measurement/ResultFiles.h"
#include "measurement/GraphScale.h"
#include "measurement/TestSignal.h"
#include "support/Colors.h"
#include "support/Decibels.h"
#include "support/Dialogs.h"
#include "support/Drawing.h"
#include "support/Fonts.h"
#include "support/ErrorTrap.h"
#include "support/Logging.h"
#include "support/MessageBox.h"
#include "support/Paths.h"
#include "support/Settings.h"
#include "support/Surface.h"

using basic::PictureBox;
using basic::ReadSetting;

namespace {

// The design size of the client area and the controls' design positions, in twips.
constexpr int kClientWidth = 13830, kClientHeight = 7620;

void Place(QWidget* w, int left, int top, int width, int height) {
  w->setGeometry(basic::TwipsToPixels(left), basic::TwipsToPixels(top), basic::TwipsToPixels(width),
                 basic::TwipsToPixels(height));
}

// A stored number as the caller's type; text that is no number is a fault.
double Number(const QString& text) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok) throw std::invalid_argument("not a number");
  return v;
}

int32_t Nearest32(double v) {
  if (!(v >= INT32_MIN && v <= INT32_MAX)) throw std::out_of_range("out of range");
  return static_cast<int32_t>(std::nearbyint(v));
}

// One step of start-up: with error catching off a failing step is skipped.
template <typename Body>
void Step(Body&& body) {
  basic::Trap(std::forward<Body>(body));
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
  ClearButton = new UC_Buttons(this);
  LV = new UC_ListView(this);
  PictureVU = new PictureBox(this);
  PictureWave = new PictureBox(this);
  PictureFFT = new PictureBox(this);
  PictureScale = new PictureBox(this);
  PictureA = new PictureBox(PictureFFT);
  TextFreq = new QLineEdit(this);
  TextDelay = new QLabel(this);
  TimerRec = new QTimer(this);
  TimerRec->setInterval(5);
  TimerRec->setTimerType(Qt::PreciseTimer);

  MenuLV = new QMenu(this);
  MenuDelete = MenuLV->addAction(QStringLiteral("Delete"));
  MenuSave = MenuLV->addAction(QStringLiteral("Save As"));
  MenuRC = new QMenu(this);
  MenuRMSP3 = MenuRC->addAction(QStringLiteral("RMS+3db"));
  MenuRMSP3->setCheckable(true);

  Place(ComboDev[0], 1050, 165, 3360, 300);
  Place(ComboFreq, 5385, 165, 1620, 300);
  Place(ComboDev[1], 1050, 495, 3360, 300);
  Place(ComboMode, 5385, 495, 1620, 300);
  Place(SliderValue[0], 1050, 915, 3360, 300);
  Place(TextValue[0], 4455, 915, 585, 300);
  Place(RecButton, 5385, 915, 1620, 300);
  Place(PictureVU, 105, 1740, 6960, 690);
  Place(PictureWave, 105, 2475, 6960, 1725);
  Place(PictureFFT, 105, 4260, 11400, 2520);
  Place(PictureScale, 105, 6960, 11370, 255);
  Place(ClearButton, 10035, 4425, 1335, 300);
  Place(LV, 7185, 150, 4230, 4050);
  Place(TextFreq, 210, 4365, 900, 270);
  ClearButton->raise();
  TextFreq->raise();

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
  connect(PictureA, &PictureBox::MouseMove, this, &FrmMain::PictureA_MouseMove);
}

void FrmMain::WireRun() {
  measurement::MeasurementRun::Callbacks cb;
  cb.RateChanged = [this] { DrawFreqScale(PictureScale); };
  cb.StretchReady = [this](int32_t first, int32_t last) {
    DrawVU(first, last);
    DrawWave(first, last);
    // The noise frame of this stretch is the newest whole one: it ends at the last captured frame.
    DrawSpectrum(last - measurement::kFftPoints + 1, 0, 0, 0, 0);
  };
  cb.Stopped = [this] { OnRunStopped(); };
  cb.SweepCompleted = [this] { AnalyseSweep(); };
  cb.ResultReady = [this](const QString& path) {
    if (SaveResult(path)) AddResultItem(path, -2, 1);
  };
  cb.PathTaken = [this](const QString& path) { return ListHoldsPath(path); };
  m_Run.SetCallbacks(cb);
}

void FrmMain::Form_Load() {
  if (!m_Instance.Acquire()) {
    m_AnotherInstance = true;  // the program ends at once
    return;
  }
  Step([&] { setWindowTitle(basic::AppTitle()); });
  Step([&] { QDir::setCurrent(basic::AppFolder()); });
  Step([&] { basic::InitDiagnosticSwitches(); });
  Step([&] {
    basic::CheckLanguageMode();
    if (basic::FontOverride() == 1) {
      for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(ComboMode),
                         static_cast<QWidget*>(ComboDev[0]), static_cast<QWidget*>(ComboDev[1])})
        basic::ApplyUiFont(w, -2);
      const int vu = basic::ApplyUiFont(nullptr, -1, PictureVU);
      if (vu >= 0) PictureVU->SetSurfaceFont(basic::UiFonts()[static_cast<size_t>(vu)].Handle);
      basic::ApplyUiFont(TextFreq, -2);
    }
  });
  Step([&] {
    PictureScale->SetForeColor(0);
    PictureScale->SetBackColor(0xE0B0B0);
    for (QComboBox* c : {ComboDev[0], ComboDev[1], ComboMode, ComboFreq}) basic::SetControlColors(c, 0, 0xE0B0B0);
  });
  Step([&] {
    const int tpp = basic::TwipsPerPixel();
    m_VU.SetPictureBox(PictureVU);
    m_VU.SetMargin(60.0f * tpp, 60.0f * tpp, -1, -1);
    m_VU.SetNumValue(1);
    m_VU.SetStr(0, QStringLiteral("OUT"));
    m_VU.SetStr(1, QStringLiteral("IN"));
    m_VU.SetParms();
    m_VU.DrawScale();
  });
  Step([&] {
    RecButton->SetNumButtons(1);
    RecButton->SetButtonChar(0, QStringLiteral("開始"));
    RecButton->Init();
    RecButton->DrawAll();
    ClearButton->SetNumButtons(1);
    ClearButton->SetButtonChar(0, QStringLiteral("クリア"));
    ClearButton->Init();
  });
  Step([&] {
    LV->SetNumData(1);
    LV->SetNumAux(2);
    LV->SetUseUCBar(1);
    LV->SetNoMultiSelect(1);
    LV->SetStyle(9.0f, false, QString(), 0xFFFFFF, 0);
    LV->SetSelectedColorMode(15);
    LV->SetSelectedColor(0x404040);
    LV->SetIconDisabled(1);
    LV->Init();
    LV->SetTabWidth(0, 6000);
    LV->InitTab();
    LV->ReDrawTab(-1);
    LV->SetSortDisabled(1);
  });
  Step([&] {
    // The second slider and read-out go directly below the first ones.
    basic::LoadNextControl(SliderValue, 1, 0, true, false);
    basic::LoadNextControl(TextValue, 1, 0, true, false);
  });
  // Beside the level, under the start button.
  Step([&] { TextDelay->setGeometry(RecButton->x(), SliderValue.at(1)->y(), RecButton->width(), RecButton->height()); });
  for (int i = 0; i < static_cast<int>(SliderValue.size()); ++i) {
    UC_Slider* slider = SliderValue[static_cast<size_t>(i)];
    connect(slider, &UC_Slider::Scrolled, this, [this, i](int nButton) { SliderValue_Scrolled(i, nButton); });
    Step([&] {
      UC_TextPicture* text = TextValue.at(static_cast<size_t>(i));
      text->AddStdColorSet(1);
      text->AddTextSpace(9, 0, 0, QString(), -1, -1);
      text->SetColor(0);
      text->Init();
    });
    Step([&] {
      slider->SetMin(i == 1 ? -600 : 2);
      slider->SetMax(i == 1 ? 0 : 30);
      slider->SetSmallChange(1);
      slider->Init();
    });
    Step([&] {
      const double stored = i == 1 ? Number(ReadSetting(QStringLiteral("PlayLevel"), -3.0f)) * 10
                                   : Number(ReadSetting(QStringLiteral("PlaySec"), int16_t{10}));
      slider->SetValue(Nearest32(stored));
      SliderValue_Scrolled(i, 0);
    });
  }
  Step([&] { m_OffsetDb = static_cast<float>(Number(ReadSetting(QStringLiteral("Offsetdb"), -6.0f))); });
  Step([&] {
    // A stored, non-zero "BufferDelayMS" decides; otherwise the diagnostic switch does.
    const int32_t stored = Nearest32(Number(ReadSetting(QStringLiteral("BufferDelayMS"), int16_t{0})));
    m_Run.m_BufferDelayMs = stored != 0 ? stored : 70 * basic::ErrorCatch();
  });
  Step([&] {
    m_Run.m_SampleRate = Nearest32(Number(ReadSetting(QStringLiteral("nFreq"), int32_t{44100})));
    WaveMMIO::FillRateCombo(ComboFreq, m_Run.m_SampleRate, 0, 0);
  });
  Step([&] { WaveMMIO::ListAudioDevices(ComboDev[0], 0, ReadSetting(QStringLiteral("DeviceOut"), QString()), 0); });
  Step([&] { WaveMMIO::ListAudioDevices(ComboDev[1], 1, ReadSetting(QStringLiteral("DeviceIn"), QString()), 0); });
  Step([&] {
    ComboMode->addItem(QStringLiteral("スウィープ"));
    ComboMode->addItem(QStringLiteral("ホワイトノイズ"));
    ComboMode->setCurrentIndex(-1);  // a combo box starts without a selection
    const int32_t mode = Nearest32(Number(ReadSetting(QStringLiteral("CheckMode"), int32_t{0})));
    if (mode < 0 || mode >= ComboMode->count()) throw std::out_of_range("no such mode");
    ComboMode->setCurrentIndex(mode);
  });
  Step([&] {
    m_RmsP3 = Nearest32(Number(ReadSetting(QStringLiteral("RMSP3mon"), int32_t{0})));
    MenuRMSP3->setChecked(m_RmsP3 != 0);
  });
  Step([&] { m_FFT.Init(measurement::kFftPoints); });
  Step([&] {
    PictureA->SetPixelSize(12, 12);
    PaintHandle();
  });
  Step([&] { m_Run.m_DataPath = ReadSetting(QStringLiteral("DataPath"), measurement::DefaultDataFolder()); });
  Step([&] { m_TraceColors = {0xFF80FF, 0xFF8080, 0xFFFF80, 0x80FF80, 0x80FFFF, 0x80C0FF, 0x8080FF}; });
  Step([&] {
    m_Run.m_SweepLevel.assign(1, 0);
    m_Run.m_Sweep.freq.assign(1, 0.0f);
  });
  Step([&] { resize(basic::TwipsToPixels(kClientWidth), basic::TwipsToPixels(kClientHeight)); });
  Step([&] { basic::RestoreWindowPlacement(this, QString(), 0, 1, 0); });
  m_Loaded = 1;
  Form_Resize();
}

void FrmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_Background->setGeometry(rect());
  Form_Resize();
}

void FrmMain::Form_Resize() {
  if (!m_Loaded || isMinimized()) return;
  const int tpp = basic::TwipsPerPixel();
  const int outerW = frameGeometry().width() * tpp, outerH = frameGeometry().height() * tpp;
  if (PictureWave->Width() + 2000 > outerW || PictureWave->Top() + 2 * PictureWave->Height() > outerH) return;
  const int innerW = width() * tpp, innerH = height() * tpp;
  // Every step is skipped on its own when it fails.
  const auto step = [](auto&& body) {
    try {
      body();
    } catch (const std::exception&) {
    }
  };
  step([&] { m_Background->Cls(); });
  step([&] { PictureFFT->SetWidth(innerW - 2 * PictureFFT->Left()); });
  step([&] { PictureScale->SetWidth(PictureFFT->Width()); });
  step([&] {
    PictureFFT->SetHeight(innerH - PictureFFT->Top() - PictureScale->Height() - PictureFFT->Left() - 2 * tpp);
  });
  step([&] {
    const int top = basic::TwipsToPixels(4425);  // the clear button's design top
    const int gap = ClearButton->y() - PictureFFT->y();
    ClearButton->move(PictureFFT->x() + PictureFFT->width() - ClearButton->width() - gap, top);
  });
  step([&] {
    const double h = PictureFFT->ScaleHeight();
    PictureA->SetLeft(PictureFFT->Width() - PictureA->Width() - 4 * tpp);
    PictureA->SetTop(static_cast<int>(std::nearbyint(h - h * basic::DbToLin(m_OffsetDb) - 6 * tpp)));
  });
  step([&] { PictureScale->SetTop(PictureFFT->Top() + PictureFFT->Height() + 2 * tpp); });
  step([&] {
    const int lvWidth = innerW - LV->x() * tpp - PictureFFT->Left();
    LV->resize(basic::TwipsToPixels(lvWidth), LV->height());
    LV->SetTabWidth(0, static_cast<int32_t>(std::nearbyint(lvWidth - 500.0)));
    LV->UserControl_Resize();
  });
  step([&] { DrawSpectrum(0, 0, 0, 0, 1); });
  step([&] { DrawLabels(); });
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

void FrmMain::RecButton_ButtonClicked(int) {
  // A second press while the run starts is not taken for a stop; one during
  // a tick (a completing run among them) acts once the tick is over.
  if (m_Starting) return;
  if (DeferIfBusy([this] { RecButton_ButtonClicked(0); })) return;
  basic::Trap([&] {
    if (m_Run.Running()) {
      m_Run.StopRun();
      return;
    }
    basic::DeferredActions::Step step(m_Deferred);
    m_Starting = true;
    struct Started {
      bool& flag;
      ~Started() { flag = false; }
    } started{m_Starting};
    basic::SetMousePointer(basic::vbHourglass);
    measurement::RunRequest request;
    request.deviceOut = ComboDev[0]->currentIndex() >= 0 ? ComboDev[0]->currentText() : QString();
    request.deviceIn = ComboDev[1]->currentIndex() >= 0 ? ComboDev[1]->currentText() : QString();
    request.mode = ComboMode->currentIndex();
    request.sampleRate = ComboFreq->currentText().toInt();
    request.seconds = SliderValue[0]->Value();
    request.levelTenthsDb = SliderValue[1]->Value();
    TextDelay->clear();
    TextDelay->setToolTip(QString());
    const bool ok = m_Run.Start(request);
    if (ok) {
      m_VU.ResetVU(-1);
      TimerRec->start();
      RecButton->SetButtonChar(0, QStringLiteral("停止"));
      RecButton->DrawAll();
    }
    basic::SetMousePointer(basic::vbDefault);
  });
  basic::SetMousePointer(basic::vbDefault);
}

bool FrmMain::DeferIfBusy(std::function<void()> again) {
  if (!m_Deferred.Busy()) return false;
  m_Deferred.RunOrDefer(std::move(again));
  return true;
}

void FrmMain::TimerRec_Timer() {
  basic::DeferredActions::Step step(m_Deferred);
  basic::Trap([&] { m_Run.Tick(); });
}

void FrmMain::OnRunStopped() {
  RecButton->SetButtonState(0, 0);
  TimerRec->stop();
  PictureWave->Cls();
  m_VU.ResetVU(-1);
  RecButton->SetButtonChar(0, QStringLiteral("開始"));
  RecButton->DrawAll();
}

void FrmMain::ClearButton_ButtonClicked(int) {
  basic::Trap([&] { DrawSpectrum(0, 0, 0, 0, 1); });
}

void FrmMain::SliderValue_Scrolled(int Index, int) {
  basic::Trap([&] {
    if (Index < 0 || Index >= static_cast<int>(SliderValue.size()) || Index >= static_cast<int>(TextValue.size())) return;
    const int32_t v = SliderValue[static_cast<size_t>(Index)]->Value();
    const QString text = Index == 0 ? QString::number(v) : QString::number(v / 10.0, 'f', 1);
    TextValue[static_cast<size_t>(Index)]->DispMes(0, text);
  });
}

void FrmMain::MenuRMSP3_Click() {
  // The action has already toggled its check mark.
  m_RmsP3 = MenuRMSP3->isChecked() ? 1 : 0;
}

void FrmMain::DrawVU(int32_t first, int32_t last) {
  basic::Trap([&] {
    basic::DoEvents();
    if (!m_Run.Running()) return;
    const measurement::StretchLevels levels = measurement::MeasureStretch(m_Run.m_PlayBuf, m_Run.m_RecBuf, first, last);
    if (m_Run.m_Mode == measurement::kModeSweep) {
      // The live preview of the sweep curve: the stretch's RMS for each of its frames.
      const auto value = static_cast<int16_t>(std::min(std::nearbyint(levels.rms[1]), 32767.0));
      const int64_t end = std::min<int64_t>(last, static_cast<int64_t>(m_Run.m_SweepLevel.size()) - 1);
      for (int64_t j = std::max(first, 0); j <= end; ++j) m_Run.m_SweepLevel[static_cast<size_t>(j)] = value;
    }
    for (int i = 0; i < 2 && m_Run.Running(); ++i) {
      const double rms = m_RmsP3 ? levels.rms[i] * 1.412538 : levels.rms[i];
      const auto peak = static_cast<float>(basic::LinToDb(levels.peak[i] / 32767.0));
      const auto level = static_cast<float>(basic::LinToDb(rms / 32767.0));
      m_VU.DrawVU(i, level, peak, measurement::MeterText(level), 99);
    }
  });
}

void FrmMain::DrawWave(int32_t first, int32_t last) {
  basic::Trap([&] {
    if (m_Run.Running()) measurement::DrawWaveOn(*PictureWave, m_Run.m_PlayBuf, m_Run.m_RecBuf, first, last);
  });
}

int32_t FrmMain::ResultCount() const { return LV ? LV->ItemCount() : 0; }

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

void FrmMain::DrawSpectrum(int32_t start, int32_t fromFile, int32_t overlay, int32_t color, int32_t gridOnly) {
  basic::Trap([&] {
    basic::DoEvents();
    if (!overlay) {
      measurement::DrawSpectrumGrid(*PictureFFT, m_OffsetDb);
      if (gridOnly) return;
    }
    const uint32_t curve = color != 0 ? static_cast<uint32_t>(color)
                                      : m_TraceColors[static_cast<size_t>(ResultCount() % 7)];
    if (m_Run.m_Mode == measurement::kModeNoise) {
      // A frame that no longer fits into the capture adds nothing, but the
      // mean so far stays on screen (the end of a run would blank it).
      const bool folded =
          fromFile || measurement::NoiseStep(m_FFT, m_Run.m_RecBuf, m_Run.m_CapturedFrames, start, m_Run.m_Spectrum);
      if (!folded && m_Run.m_Spectrum.count == 0) return;
      measurement::DrawNoiseCurve(*PictureFFT, m_Run.m_Spectrum, m_Run.m_SampleRate, m_OffsetDb, curve);
    } else if (m_Run.m_Mode == measurement::kModeSweep) {
      measurement::DrawSweepCurve(*PictureFFT, m_Run.m_SweepLevel, m_Run.m_Sweep.freq, m_Run.m_SweepLevelCount,
                                  m_Run.m_SampleRate, m_Run.Running(), m_OffsetDb, curve);
    }
    if (overlay) PictureFFT->Refresh();
  });
}

void FrmMain::DrawFreqScale(PictureBox* picture) {
  basic::Trap([&] {
    if (picture) measurement::DrawFreqScaleOn(*picture, m_Run.m_SampleRate);
  });
}

void FrmMain::DrawLabels() {
  basic::Trap([&] {
    basic::PaintBackground(*m_Background, 14);
    m_Background->SetForeColor(0);
    const struct {
      QWidget* control;
      const char* caption;
    } captions[] = {{ComboDev[0], "出力"}, {ComboDev[1], "入力"}, {ComboFreq, "周波数"},
                    {ComboMode, "モード"}, {SliderValue[0], "計測秒数"}, {SliderValue[1], "レベル"}};
    for (const auto& c : captions) basic::PrintCaption(*m_Background, *c.control, QString::fromUtf8(c.caption), 0);
    DrawFreqScale(PictureScale);
  });
}

void FrmMain::PictureFFT_MouseMove(int, int, double x, double) {
  basic::Trap([&] {
    if (!m_Loaded || m_Run.m_SampleRate == 0) return;
    const float f = measurement::XToFrequency(static_cast<float>(x), PictureScale->PixelWidth(), m_Run.m_SampleRate,
                                              basic::TwipsPerPixel());
    TextFreq->setText(measurement::FrequencyReadout(f));
  });
}

void FrmMain::PictureA_MouseMove(int button, int, double, double y) {
  basic::Trap([&] {
    if (button != basic::vbLeftButton) return;
    const int tpp = basic::TwipsPerPixel();
    double t = PictureA->Top() + y - 6 * tpp;
    t = std::max<double>(t, ClearButton->y() * tpp - PictureFFT->Top() + ClearButton->height() * tpp);
    t = std::min<double>(t, PictureFFT->Height() - PictureA->Height() - 6 * tpp);
    PictureA->SetTop(static_cast<int>(std::nearbyint(t)));
    const double r = PictureA->Top() + 6 * tpp;
    m_OffsetDb = measurement::OffsetForReference(r, PictureFFT->ScaleHeight());
    DrawSpectrum(0, 0, 0, 0, 1);
  });
}

void FrmMain::AnalyseSweep() {
  basic::SetMousePointer(basic::vbHourglass);
  m_Run.AnalyseSweep();
  ShowPathDelay();
  DrawSpectrum(0, 0, 0, 0, 0);
  basic::SetMousePointer(basic::vbDefault);
}

void FrmMain::ShowPathDelay() {
  basic::Trap([&] {
    const measurement::PathDelay& d = m_Run.m_PathDelay;
    QPalette palette = TextDelay->palette();
    if (d.found) {
      const double ms = m_Run.m_SampleRate > 0 ? 1000.0 * d.frames / m_Run.m_SampleRate : 0.0;
      TextDelay->setText(QStringLiteral("遅延 %1 ms").arg(ms, 0, 'f', 1));
      TextDelay->setToolTip(QStringLiteral("入力には出力より %1 サンプル遅れて届きました。曲線はこの遅れを揃えて求めました。")
                                .arg(d.frames));
      palette.setColor(QPalette::WindowText, Qt::black);
      basic::WriteLogLine(QStringLiteral("スウィープの遅延 %1 サンプル (%2 ms, ピーク比 %3)")
                              .arg(d.frames)
                              .arg(ms, 0, 'f', 1)
                              .arg(d.clarity, 0, 'f', 1),
                          0);
    } else {
      TextDelay->setText(QStringLiteral("信号が戻りません"));
      TextDelay->setToolTip(QStringLiteral("再生した信号が入力に見つかりませんでした。接続と入力を確かめてください。"
                                           "曲線は時間を揃えずに求めました。"));
      palette.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
      basic::WriteLogLine(QStringLiteral("スウィープの信号が入力に検出されませんでした (ピーク比 %1)").arg(d.clarity, 0, 'f', 1), 0);
    }
    TextDelay->setPalette(palette);
  });
}

bool FrmMain::SaveResult(const QString& path) {
  bool saved = false;
  basic::Trap([&] { saved = measurement::SaveResultFile(path, m_Run); });
  if (saved) return true;
  basic::DeleteFileIfAny(path);  // what a failed write left of the new file
  basic::CenteredMessageBox(QStringLiteral("測定結果を保存できませんでした。\r\n") + path,
                            basic::vbOKOnly | basic::vbCritical, QString(), this);
  return false;
}

bool FrmMain::LoadResult(const QString& path) {
  auto outcome = measurement::LoadOutcome::Missing;
  basic::Trap([&] { outcome = measurement::LoadResultFile(path, m_Run); });
  if (outcome == measurement::LoadOutcome::Noise || outcome == measurement::LoadOutcome::Sweep) return true;
  basic::CenteredMessageBox(QStringLiteral("測定結果を読み込めませんでした。\r\n") + path,
                            basic::vbOKOnly | basic::vbExclamation, QString(), this);
  return false;
}

bool FrmMain::ListHoldsPath(const QString& path) const {
  const auto same = [](const QString& a, const QString& b) {
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists()) return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
  };
  for (int32_t i = 0; LV && i < LV->ItemCount(); ++i)
    if (same(LV->AuxID(i, 0).toString(), path)) return true;
  return false;
}

void FrmMain::AddResultItem(const QString& path, int32_t position, int32_t temporary) {
  basic::Trap([&] {
    int32_t item = -2;
    if (position == -2) {
      LV->AddItem(1);
    } else {
      LV->InsertItem(position);
      item = position;
    }
    LV->SetAuxID(item, 0, path);
    LV->SetAuxID(item, 1, temporary);
    LV->SetValue(item, 0, basic::SplitPath(path, 0, 0, 1, 0, 0, 0));
    for (int32_t i = 0; i < LV->ItemCount(); ++i) LV->SetDispColor(i, m_TraceColors[static_cast<size_t>(i % 7)]);
    LV->Refresh();
  });
}

void FrmMain::LV_Clicked(double x, double y) {
  if (DeferIfBusy([this, x, y] { LV_Clicked(x, y); })) return;
  basic::Trap([&] {
    if (m_Run.Running() || LV->ItemCount() == 0) return;
    basic::SetMousePointer(basic::vbHourglass);
    if (!LoadResult(LV->AuxID(LV->SelectedItem(), 0).toString())) {
      basic::SetMousePointer(basic::vbDefault);
      return;  // the picture stays as it was
    }
    DrawFreqScale(PictureScale);
    DrawSpectrum(0, 1, 1, static_cast<int32_t>(LV->DispColor(LV->SelectedItem())), 0);
    basic::SetMousePointer(basic::vbDefault);
  });
  basic::SetMousePointer(basic::vbDefault);
}

void FrmMain::LV_RightClicked(double, double) { MenuLV->popup(QCursor::pos()); }

void FrmMain::LV_OLEDragDrop(const QStringList& paths, double y) {
  if (DeferIfBusy([this, paths, y] { LV_OLEDragDrop(paths, y); })) return;
  basic::Trap([&] {
    const int32_t position = LV->YsItem(y);
    basic::SetMousePointer(basic::vbHourglass);
    for (const QString& path : paths) {
      basic::DoEvents();
      AddResultItem(path, position, 0);
    }
    LV->ReDraw();
    LV->SetVbarParm();
    basic::SetMousePointer(basic::vbDefault);
  });
  basic::SetMousePointer(basic::vbDefault);
}

void FrmMain::MenuDelete_Click() {
  if (DeferIfBusy([this] { MenuDelete_Click(); })) return;
  basic::Trap([&] {
    if (LV->ItemCount() < 1) return;
    for (int32_t i = LV->ItemCount() - 1; i >= 0; --i) {
      if (!LV->IsSelected(i)) continue;
      if (LV->AuxID(i, 1).toInt() != 0) basic::DeleteFileIfAny(LV->AuxID(i, 0).toString());
      LV->DeleteItem(i);
    }
    LV->SetVbarParm();
    LV->ReDraw();
  });
}

void FrmMain::MenuSave_Click() {
  if (DeferIfBusy([this] { MenuSave_Click(); })) return;
  basic::Trap([&] {
    if (LV->ItemCount() < 1) return;
    basic::SetMousePointer(basic::vbHourglass);
    for (int32_t i = 0; i < LV->ItemCount(); ++i) {
      if (!LV->IsSelected(i)) continue;
      const QString source = LV->AuxID(i, 0).toString();
      // The dialog does not ask about replacing: the extension may still
      // change the name, and the question is asked of the final one.
      QString target = basic::FileDialog(this, 1, QStringLiteral("測定結果|*"),
                                         ReadSetting(QStringLiteral("SaveFolder"), m_Run.m_DataPath), QString(), 0);
      if (target.isEmpty()) continue;
      basic::WriteSetting(QStringLiteral("SaveFolder"), basic::SplitPath(target, 1, 1, 0, 0, 0, 0));
      target = basic::EnsureExtension(target, basic::SplitPath(source, 0, 0, 0, 0, 1, 0));
      // Saving a result onto its own file leaves it as it is.
      if (QFileInfo(target).canonicalFilePath() == QFileInfo(source).canonicalFilePath()) continue;
      if (basic::FileExists(target) &&
          basic::CenteredMessageBox(target + QStringLiteral(" は既にあります。\r\n置き換えますか？"),
                                    basic::vbYesNo | basic::vbExclamation, QString(), this) != basic::vbYes)
        continue;
      if (!basic::CopyFileTo(source, target, 0))
        basic::CenteredMessageBox(QStringLiteral("保存できませんでした。\r\n") + target,
                                  basic::vbOKOnly | basic::vbCritical, QString(), this);
    }
    basic::SetMousePointer(basic::vbDefault);
  });
  basic::SetMousePointer(basic::vbDefault);
}

bool FrmMain::Form_Unload() {
  if (isMinimized()) return false;
  if (basic::CenteredMessageBox(QStringLiteral("終了しますか？"), basic::vbYesNo | basic::vbQuestion, QString(), this) !=
      basic::vbYes)
    return false;
  basic::Trap([&] {
    if (m_Run.Running()) m_Run.CloseDevices();
  });
  // Results made by this run of the program go; dropped files stay.
  basic::Trap([&] {
    for (int32_t i = 0; i < LV->ItemCount(); ++i)
      if (LV->AuxID(i, 1).toInt() != 0) basic::DeleteFileIfAny(LV->AuxID(i, 0).toString());
  });
  basic::Trap([&] { basic::SaveWindowPlacement(this, QString(), 0, 0); });
  basic::Trap([&] {
    using basic::WriteSetting;
    WriteSetting(QStringLiteral("DeviceOut"), ComboDev[0]->currentIndex() >= 0 ? ComboDev[0]->currentText() : QString());
    WriteSetting(QStringLiteral("DeviceIn"), ComboDev[1]->currentIndex() >= 0 ? ComboDev[1]->currentText() : QString());
    WriteSetting(QStringLiteral("RMSP3mon"), m_RmsP3);
    WriteSetting(QStringLiteral("nFreq"), m_Run.m_SampleRate);
    WriteSetting(QStringLiteral("CheckMode"), m_Run.m_Mode);
    WriteSetting(QStringLiteral("PlaySec"), QString::number(SliderValue[0]->Value()));
    WriteSetting(QStringLiteral("PlayLevel"), QString::number(SliderValue[1]->Value() / 10.0, 'f', 1));
    WriteSetting(QStringLiteral("Offsetdb"), QString::number(m_OffsetDb, 'f', 1));
  });
  basic::DeleteUiFonts();
  return true;
}

void FrmMain::closeEvent(QCloseEvent* event) {
  // Closing in the middle of a start or a completing run waits for it (a
  // moment); then the question comes and the devices close first.
  if (DeferIfBusy([this] { close(); })) {
    event->ignore();
    return;
  }
  if (Form_Unload()) {
    m_Deferred.Close();
    event->accept();
  } else {
    event->ignore();
  }
}
