// Start-up (controls, settings, devices, placement), the layout on resize, and closing.
#include "window/FrmMain.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QCloseEvent>
#include <QDir>
#include <cmath>
#include <stdexcept>

#include "controls/UC_Buttons/UC_Buttons.h"
#include "controls/UC_ListView/UC_ListView.h"
#include "controls/UC_Slider/UC_Slider.h"
#include "controls/UC_TextPicture/UC_TextPicture.h"
#include "measurement/Analysis.h"
#include "measurement/Graphs.h"
#include "measurement/ResultFiles.h"
#include "measurement/RunSettings.h"
#include "measurement/SideFiles.h"
#include "support/Decibels.h"
#include "support/ErrorTrap.h"
#include "support/Logging.h"
#include "support/Paths.h"
#include "support/Report.h"
#include "support/Settings.h"
#include "widgets/DeviceCombos.h"
#include "widgets/Dialogs.h"
#include "widgets/Drawing.h"
#include "widgets/Fonts.h"
#include "widgets/PictureBox.h"
#include "widgets/WindowPlacement.h"
#include "window/FrmDetails.h"

using basic::PictureBox;
using basic::ReadSetting;

namespace {

// The design size of the client area, in twips.
constexpr int kClientWidth = 13830, kClientHeight = 7620;

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
    LV->SetNumAux(4);
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
  // The quality first, then the delay.
  Step([&] {
    const int verdict = TextVerdict->fontMetrics().horizontalAdvance(QStringLiteral("良好 "));
    TextVerdict->setGeometry(RecButton->x(), SliderValue.at(1)->y(), verdict, RecButton->height());
    TextDelay->setGeometry(RecButton->x() + verdict, SliderValue.at(1)->y(), RecButton->width() - verdict,
                           RecButton->height());
  });
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
    const int32_t stored = Nearest32(Number(ReadSetting(QStringLiteral("BufferDelayMS"), int16_t{0})));
    m_Run.SetBufferDelayMs(measurement::BufferDelayMs(stored, basic::ErrorCatch()));
  });
  Step([&] {
    m_LoadedResult.sampleRate = Nearest32(Number(ReadSetting(QStringLiteral("nFreq"), int32_t{44100})));
    WaveMMIO::FillRateCombo(ComboFreq, m_LoadedResult.sampleRate, 0, 0);
  });
  Step([&] {
    WaveMMIO::ListAudioDevices(ComboDev[0], WaveMMIO::Direction::Output,
                               ReadSetting(QStringLiteral("DeviceOut"), QString()), false);
  });
  Step([&] {
    WaveMMIO::ListAudioDevices(ComboDev[1], WaveMMIO::Direction::Input,
                               ReadSetting(QStringLiteral("DeviceIn"), QString()), false);
  });
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
  Step([&] { m_Run.SetDataFolder(ReadSetting(QStringLiteral("DataPath"), measurement::DefaultDataFolder())); });
  Step([&] { m_TraceColors = {0xFF80FF, 0xFF8080, 0xFFFF80, 0x80FF80, 0x80FFFF, 0x80C0FF, 0x8080FF}; });
  Step([&] { resize(basic::TwipsToPixels(kClientWidth), basic::TwipsToPixels(kClientHeight)); });
  Step([&] { basic::RestoreWindowPlacement(this, QString(), 0, 1, 0); });
  m_Loaded = 1;
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
    // At its design top, as far from the picture's right edge as from its top.
    const int gap = ClearButton->y();
    ClearButton->move(PictureFFT->width() - ClearButton->width() - gap, gap);
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

bool FrmMain::Form_Unload() {
  if (isMinimized()) return false;
  if (basic::CenteredMessageBox(QStringLiteral("終了しますか？"), basic::vbYesNo | basic::vbQuestion, QString(),
                                this) != basic::vbYes)
    return false;
  basic::Trap([&] {
    if (m_Run.Running()) m_Run.CloseDevices();
  });
  // Results made by this run of the program go; dropped files stay.
  basic::Trap([&] {
    for (int32_t i = 0; i < LV->ItemCount(); ++i)
      if (LV->AuxID(i, 1).toInt() != 0) measurement::DeleteResultFiles(LV->AuxID(i, 0).toString());
  });
  basic::Trap([&] { basic::SaveWindowPlacement(this, QString(), 0, 0); });
  basic::Trap([&] {
    using basic::WriteSetting;
    WriteSetting(QStringLiteral("DeviceOut"),
                 ComboDev[0]->currentIndex() >= 0 ? ComboDev[0]->currentText() : QString());
    WriteSetting(QStringLiteral("DeviceIn"), ComboDev[1]->currentIndex() >= 0 ? ComboDev[1]->currentText() : QString());
    WriteSetting(QStringLiteral("RMSP3mon"), m_RmsP3);
    WriteSetting(QStringLiteral("nFreq"), Shown().sampleRate);
    WriteSetting(QStringLiteral("CheckMode"), static_cast<int32_t>(Shown().mode));
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
    if (m_Details) m_Details->close();
    m_Deferred.Close();
    event->accept();
  } else {
    event->ignore();
  }
}
