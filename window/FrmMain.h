#pragma once
// The program's one window: the device, rate and mode choices, the run
// length and level sliders, the start/stop button, the meter, waveform and
// spectrum pictures, and the measurement run they drive.
#include <QPalette>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "dsp/C_FFT.h"
#include "measurement/MeasurementRun.h"
#include "widgets/C_VU.h"
#include "widgets/DeferredActions.h"
#include "widgets/SingleInstance.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class UC_Buttons;
class UC_ListView;
class UC_Slider;
class UC_TextPicture;
class FrmDetails;
namespace basic {
class PictureBox;
}

class FrmMain : public QWidget {
  Q_OBJECT

 public:
  explicit FrmMain(QWidget* parent = nullptr);
  ~FrmMain() override;

  // The run (its buffers, devices and result number are its own).
  measurement::MeasurementRun m_Run;
  // The result loaded last from the list; at start-up, the stored rate.
  measurement::Result m_LoadedResult;
  // What the picture's curve, the frequency axis and the stored mode and
  // rate follow: the run from its start on, or the result loaded since.
  const measurement::Result& Shown() const { return m_ShowingRun ? m_Run.Current() : m_LoadedResult; }
  C_FFT m_FFT;
  C_VU m_VU;
  float m_OffsetDb = -6.0f;
  int32_t m_RmsP3 = 0;
  int32_t m_Loaded = 0;
  std::array<uint32_t, 7> m_TraceColors{};

  // Controls, by their names.
  std::array<QComboBox*, 2> ComboDev{};
  QComboBox* ComboFreq = nullptr;
  QComboBox* ComboMode = nullptr;
  std::vector<UC_Slider*> SliderValue;
  std::vector<UC_TextPicture*> TextValue;
  UC_Buttons* RecButton = nullptr;
  UC_Buttons* ClearButton = nullptr;
  UC_ListView* LV = nullptr;
  basic::PictureBox* m_Background = nullptr;  // the window's own drawing surface
  basic::PictureBox* PictureVU = nullptr;
  basic::PictureBox* PictureWave = nullptr;
  basic::PictureBox* PictureFFT = nullptr;
  basic::PictureBox* PictureA = nullptr;
  basic::PictureBox* PictureScale = nullptr;
  QLineEdit* TextFreq = nullptr;
  QLabel* TextDelay = nullptr;    // the path delay of the last sweep, or that its signal did not come back
  QLabel* TextVerdict = nullptr;  // the last run's quality, its reasons in the tooltip
  QTimer* TimerRec = nullptr;
  QMenu* MenuLV = nullptr;
  QAction* MenuDelete = nullptr;
  QAction* MenuSave = nullptr;
  QAction* MenuExportCsv = nullptr;
  QAction* MenuSavePicture = nullptr;
  QAction* MenuDetails = nullptr;
  QMenu* MenuRC = nullptr;
  QAction* MenuRMSP3 = nullptr;

  // Event handlers.
  void Form_Load();
  // True when start-up found another instance running (nothing was set up).
  bool AnotherInstance() const { return m_AnotherInstance; }
  void Form_Resize();
  void RecButton_ButtonClicked(int ClickedIndex);
  void TimerRec_Timer();
  void ClearButton_ButtonClicked(int ClickedIndex);
  void SliderValue_Scrolled(int Index, int nButton);
  void MenuRMSP3_Click();
  void PictureFFT_MouseMove(int button, int shift, double x, double y);
  void PictureA_MouseMove(int button, int shift, double x, double y);
  // Results in the list.
  int32_t ResultCount() const;
  // The colour the next result gets: a result keeps the colour it was given,
  // so the next takes the first colour no listed result has (by the count
  // of results when all are taken).
  uint32_t NextTraceColor() const;

  // Drawing and result steps of a run.
  void DrawVU(int32_t first, int32_t last);
  void DrawWave(int32_t first, int32_t last);
  void DrawSpectrum(int32_t startIndex, int32_t fromFile, int32_t overlay, int32_t color, int32_t gridOnly);
  void DrawFreqScale(basic::PictureBox* picture);
  void DrawLabels();
  void AnalyseSweep();
  // Stores the run's result under the first free number from the proposed
  // path's on; the path it took, or empty (after saying so).
  QString SaveResult(const QString& proposed, const measurement::Result& result);
  // Loads a result to be shown (Shown()); false (after telling the user)
  // when the file is gone or not a result.
  bool LoadResult(const QString& path);
  void LV_Clicked(double x, double y);
  void LV_RightClicked(double x, double y);
  void LV_OLEDragDrop(const QStringList& paths, double y);
  void MenuDelete_Click();
  void MenuSave_Click();
  // The clicked result's curve as CSV, or its spectrum picture as PNG.
  void MenuExportCsv_Click();
  void MenuSavePicture_Click();
  // The details window for the selected result (a double-click on a line
  // opens it too); created on first use.
  void MenuDetails_Click();
  void LV_DblClicked();
  FrmDetails* Details() const { return m_Details; }
  // Closing: returns false when the window stays open.
  bool Form_Unload();
  // A result the window made carries the level it was played at (kept with
  // its line, for exports); a dropped file does not.
  void AddResultItem(const QString& path, int32_t position, int32_t temporary,
                     std::optional<int32_t> playedLevelTenthsDb = std::nullopt);
  static constexpr int32_t kAuxPlayedLevel = 2;  // the list's hidden values: path, temporary, level, reference
  static constexpr int32_t kAuxReference = 3;
  // A reference curve's file as a line of the list (drawn in the details
  // window only); false (after saying why) for a file not of the form.
  bool AddReferenceItem(const QString& path, int32_t position);
  bool IsReferenceItem(int32_t item) const;
  // True when a line of the results list points at path.
  bool ListHoldsPath(const QString& path) const;

  // Handlers that arrive while a run starts or while a timer tick works
  // (a completing run stops, is analysed, saved and listed) wait for it.
  basic::DeferredActions m_Deferred{this};

 protected:
  void closeEvent(QCloseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void WireRun();
  void OnRunStopped();
  basic::SingleInstance m_Instance;
  bool m_AnotherInstance = false;
  bool m_Starting = false;    // from the start click until capture runs
  bool m_ShowingRun = false;  // Shown() is the run's result
  // Asks where to save (the extension added before asking about replacing
  // a file); empty when cancelled or not to replace. A target that is the
  // file source itself is no replacement and gives empty text too.
  QString AskSaveTarget(const QString& filter, const QString& extension, const QString& initialName,
                        const QString& source = QString());
  // The folder of a file saved (not of one that could not be) is where the
  // next save dialog opens.
  void RememberSaveFolder(const QString& target);
  void CannotSave(const QString& target);
  void ExportSelected(bool picture);
  // Keeps a handler for later while a start or a tick is under way (true then).
  bool DeferIfBusy(std::function<void()> again);
  void PaintHandle();
  void ShowPathDelay();
  void OpenDetails(int32_t item);
  // The details window learns of results added to or removed from the list.
  void RefreshDetails();
  QString InputDeviceName() const;
  // Records in a stored result's side file the correction files in force
  // for the input device.
  void RecordCorrectionsOf(const QString& resultPath);
  FrmDetails* m_Details = nullptr;
  // The delay and quality read-outs belong to the result of the run just
  // made: drawing another result from the list blanks them, drawing that one
  // again brings them back.
  struct DelayReadout {
    QString result;  // empty: the read-outs belong to no listed result
    QString text, toolTip;
    QPalette palette;
    QString verdictText, verdictToolTip;
    QPalette verdictPalette;
  } m_DelayReadout;
  void ShowDelayReadoutOf(const QString& result);
  void ShowVerdict(const measurement::Verdict& verdict);
  // Empties the read-outs that belong to the run just made.
  void ClearRunReadouts();
};
