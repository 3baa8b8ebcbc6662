#pragma once
// An owner-drawn slider for an integer between Min and Max: a track with a
// draggable pointer and an arrow at each end that steps the value by
// SmallChange and repeats every 200 ms while held. Horizontal or vertical.
// Lengths are the control's twips unless said otherwise.
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>

namespace basic {
class PictureBox;
}

class UC_Slider : public QWidget {
  Q_OBJECT

 public:
  explicit UC_Slider(QWidget* parent = nullptr);

  void Init();
  void Init2();
  void SetIsVertical(int32_t v) { m_IsVertical = v; }
  void SetNoArrow(int32_t v);
  void SetNoGrad(int32_t v) { m_NoGrad = v; }
  void SetDisabletrim(int16_t v) { m_Disabletrim = v; }
  void SetRefuseInput(int16_t v) { m_RefuseInput = v; }
  void SetCenterLined(int16_t v) { m_CenterLined = v; }
  int32_t SmallChange() const { return m_SmallChange; }
  void SetSmallChange(int32_t v) { m_SmallChange = v; }
  int32_t LargeChange() const { return m_LargeChange; }
  void SetLargeChange(int32_t v) { m_LargeChange = v; }
  void SetPointerSizeTwips(int32_t twips);
  int32_t PointerSize() const { return m_PointerSize; }
  int32_t Max() const { return m_Max; }
  void SetMax(int32_t v);
  int32_t Min() const { return m_Min; }
  void SetMin(int32_t v);
  int16_t Clicked() const { return m_Clicked; }
  int32_t Value() const { return m_Value; }
  void SetValue(int32_t v);
  // PointerSize from a fraction of the track (at least 8 pixels), then Init2.
  void SetPointerSize(float fraction);
  // Sets the value from a pointer position and draws the pointer there.
  void Draw(int32_t position);

  // State, for drawing code and tests.
  double PointerPosition() const { return m_PointerPos; }
  double TrackLength() const { return m_TrackLength; }
  int32_t Travel() const { return m_Travel; }
  basic::PictureBox* PictureSlider() const { return m_PictureSlider; }
  basic::PictureBox* PictureArrow(int i) const { return m_PictureArrow[static_cast<size_t>(i & 1)]; }
  QTimer* TimerCheck() const { return m_TimerCheck; }
  // One auto-repeat step (what TimerCheck runs every 200 ms).
  void TimerCheck_Timer();

 signals:
  void MouseUD(bool IsDown, int nButton);
  void Scrolled(int nButton);
  void DblClicked();

 private:
  double Along(double x, double y) const { return m_IsVertical ? y : x; }
  void DrawPointerAt(double position);
  void DrawArrow(int i, bool pressed);
  void PaintShaded(basic::PictureBox& picture);
  void OnTrackDown(int button, int shift, double x, double y);
  void OnTrackMove(int button, int shift, double x, double y);
  void OnTrackUp(int button, int shift, double x, double y);
  void OnTrackDblClick();
  void OnArrowDown(int i, int button);
  void OnArrowUp(int i, int button);

  basic::PictureBox* m_PictureSlider;
  basic::PictureBox* m_PictureGrad;
  std::array<basic::PictureBox*, 2> m_PictureArrow{};
  std::array<basic::PictureBox*, 2> m_PictureSrc{};
  QTimer* m_TimerCheck;

  int32_t m_Value = 0, m_Max = 1000, m_Min = 0;
  double m_TrackLength = 0, m_TrackThickness = 0;
  int16_t m_Clicked = 0;
  int32_t m_PointerSize = 480;
  int32_t m_SmallChange = 10, m_LargeChange = 0;
  int16_t m_RefuseInput = 0, m_Disabletrim = 0, m_CenterLined = 0;
  int32_t m_NoGrad = 0, m_NoArrow = 0, m_IsVertical = 0;
  std::array<uint32_t, 3> m_Shades{};
  int32_t m_Range = 1000;
  int32_t m_Travel = 0;
  double m_LastMove = -1;
  double m_PointerPos = 0;
  double m_GrabOffset = 0;
  int32_t m_IconW = 6, m_IconH = 10, m_MaskRow = 10;
  std::array<QPoint, 2> m_IconPos{};
  std::array<int32_t, 2> m_ArrowHeld{};
};
