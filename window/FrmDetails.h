#pragma once
// The details window ("詳細"): one result (and others beside it) as
// frequency response, phase, group delay, impulse response and distortion,
// with a choice of smoothing, the run's verdict, delay and drift, and the
// value under the pointer. Drawn with the program's own pictures and
// controls; what it shows comes from measurement::BuildDetailViews.
// A microphone's and a sound card's correction file (remembered per input
// device) are taken off the results' curves; reference curves from files
// are drawn beside them. The opened result's response can be exported.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "measurement/DetailViews.h"
#include "measurement/InputRecorder.h"
#include "window/CorrectionChoice.h"

class QLabel;
class QLineEdit;
class QComboBox;
class QPushButton;
class QTimer;
class UC_Buttons;
class UC_Check;
namespace basic {
class PictureBox;
}

class FrmDetails : public QWidget {
  Q_OBJECT

 public:
  // A line of the results list: a result, or a reference curve's file.
  struct Entry {
    QString path;
    QString name;
    uint32_t color = 0;
    bool reference = false;
  };

  explicit FrmDetails(QWidget* parent = nullptr);
  ~FrmDetails() override;

  // The results the window may show, and the one it is opened for (shown
  // first and drawn over the others); offsetDb is the main window's grid.
  // Results shown before stay shown when they are still in the list.
  void SetResults(const std::vector<Entry>& results, int primary, float offsetDb);
  // Reference curves from files, drawn on the frequency views.
  void SetReferences(std::vector<measurement::ReferenceCurve> references);
  // The microphone's and sound card's responses, taken off the results'
  // frequency response.
  void SetCalibration(measurement::Calibration calibration);
  const measurement::Calibration& CurrentCalibration() const { return m_Calibration; }

  // The input device whose correction files are in force: those remembered
  // for it are read (a file gone since is left out).
  void SetInputDevice(const QString& name);
  const QString& InputDevice() const { return m_InputDevice; }
  // Takes kind's correction file (empty: none) and remembers it for the
  // input device; a file that cannot be read is said and changes nothing
  // (false).
  bool SetCorrectionFile(window_files::CorrectionKind kind, const QString& path);
  // A reference curve's file opened here: checked, then handed to the
  // results list (ReferenceOpened), shown once it is listed; false (after
  // saying why) for a file not of the correction form.
  bool OpenReference(const QString& path);
  // Writes the opened result's response to target: the impulse response for
  // a ".wav", the distortion for a ".csv", else the frequency response as
  // FRD text (smoothing and correction files as shown); false, after saying
  // why, for a result without a response, one of its own files or a file
  // that cannot be written.
  bool ExportResponse(const QString& target);

  // The sensitivity typed in or measured (dBFS that 94 dB SPL reads),
  // remembered for the input device; none: the microphone file's, if any.
  void SetSensitivity(std::optional<double> dbfs);
  // "校正": records the calibrator's tone (94 or 114 dB SPL) through the
  // input device and, when it is a steady 1 kHz tone, takes the
  // sensitivity from it; a tone that is not is said and changes nothing.
  // False when the input cannot be opened (after saying so).
  bool StartCalibration();
  // The live level read-out in dB SPL (dBFS without a sensitivity) with A,
  // C and Z weighting, from short blocks of the input, while on.
  bool StartLevel();
  void StopInput();
  // Looks at the input being recorded (a timer calls it; tests too).
  void PollInput();
  bool Calibrating() const { return m_InputTask == InputTask::Calibrate; }
  bool ShowingLevel() const { return m_InputTask == InputTask::Level; }
  // The rate the input is recorded at.
  static constexpr int32_t kInputRate = 48000;

  void ShowTab(measurement::DetailTab tab);
  void SetSmoothing(measurement::ViewSmoothing smoothing);
  measurement::DetailTab Tab() const { return m_Tab; }
  measurement::ViewSmoothing CurrentSmoothing() const { return m_Smoothing; }
  // Whether result i of the list is shown (its check box).
  bool IsShown(int index) const;
  void SetShown(int index, bool shown);
  // The list's result the window was opened for (-1: none).
  int Primary() const { return m_Primary; }
  QString PrimaryPath() const {
    return m_Primary >= 0 && static_cast<size_t>(m_Primary) < m_Results.size()
               ? m_Results[static_cast<size_t>(m_Primary)].path
               : QString();
  }
  // What is drawn now.
  const std::vector<measurement::PlotView>& Views() const { return m_Views; }
  measurement::DetailCache& Cache() { return m_Cache; }

  // Draws the picture again from the shown results.
  void Redraw();
  void PicturePlot_MouseMove(int button, int shift, double x, double y);

  // Controls, by their names.
  UC_Buttons* TabButtons = nullptr;
  UC_Buttons* SmoothButtons = nullptr;
  basic::PictureBox* PicturePlot = nullptr;
  QLineEdit* TextCursor = nullptr;
  QLabel* TextSummary = nullptr;
  std::vector<UC_Check*> CheckResult;
  QPushButton* ButtonMic = nullptr;
  QPushButton* ButtonMicOff = nullptr;
  QLabel* LabelMic = nullptr;
  QPushButton* ButtonDevice = nullptr;
  QPushButton* ButtonDeviceOff = nullptr;
  QLabel* LabelDevice = nullptr;
  QPushButton* ButtonReference = nullptr;
  QPushButton* ButtonExport = nullptr;
  QLineEdit* TextSensitivity = nullptr;
  QComboBox* ComboCalibrator = nullptr;  // 94 dB, 114 dB
  QPushButton* ButtonCalibrate = nullptr;
  QPushButton* ButtonLevel = nullptr;
  QLabel* LabelLevel = nullptr;
  QTimer* TimerInput = nullptr;

 signals:
  void ReferenceOpened(const QString& path);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Layout();
  void DrawBackground();
  void BuildChecks();
  std::vector<measurement::DetailSeries> ShownSeries();
  // The references set from outside and the shown reference lines.
  std::vector<measurement::ReferenceCurve> ShownReferences();
  void CreateFileControls();
  void LayoutFileControls(int width);
  void ShowCorrectionNames();
  void ChooseCorrection(window_files::CorrectionKind kind);
  void ChooseReference();
  void CreateExportControls();
  void ChooseExport();
  void CreateLevelControls();
  void LayoutLevelControls(int width);
  void ShowSensitivity();
  void SensitivityTyped();
  void CalibrationDone();
  void LevelBlockDone();
  bool StartInput(double seconds);

  basic::PictureBox* m_Background = nullptr;
  std::vector<Entry> m_Results;
  std::vector<bool> m_Shown;
  int m_Primary = -1;
  float m_OffsetDb = -6.0f;
  measurement::DetailTab m_Tab = measurement::DetailTab::Magnitude;
  measurement::ViewSmoothing m_Smoothing = measurement::ViewSmoothing::None;
  measurement::DetailCache m_Cache;
  std::vector<measurement::ReferenceCurve> m_References;
  measurement::Calibration m_Calibration;
  std::vector<measurement::PlotView> m_Views;
  QString m_InputDevice;
  bool m_InputDeviceSet = false;
  // Reference files read before, by path (nullopt: not of the form).
  struct ReferenceFile {
    int64_t size = -1;
    int64_t modified = 0;
    std::optional<measurement::CorrectionCurve> curve;
  };
  std::map<QString, ReferenceFile> m_ReferenceFiles;
  const measurement::CorrectionCurve* ReferenceCurveOf(const QString& path);
  // References opened here, shown as soon as the list holds them.
  std::set<QString> m_ShowWhenListed;
  enum class InputTask { None, Calibrate, Level };
  InputTask m_InputTask = InputTask::None;
  measurement::InputRecorder m_Recorder;
};
