#pragma once
// The details window ("詳細"): one result (and others beside it) as
// frequency response, phase, group delay, impulse response and distortion,
// with a choice of smoothing, the run's verdict, delay and drift, and the
// value under the pointer. Drawn with the program's own pictures and
// controls; what it shows comes from measurement::BuildDetailViews.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "measurement/DetailViews.h"

class QLabel;
class QLineEdit;
class UC_Buttons;
class UC_Check;
namespace basic {
class PictureBox;
}

class FrmDetails : public QWidget {
  Q_OBJECT

 public:
  // A line of the results list.
  struct Entry {
    QString path;
    QString name;
    uint32_t color = 0;
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
    return m_Primary >= 0 && static_cast<size_t>(m_Primary) < m_Results.size() ? m_Results[static_cast<size_t>(m_Primary)].path
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

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Layout();
  void DrawBackground();
  void BuildChecks();
  std::vector<measurement::DetailSeries> ShownSeries();

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
};
