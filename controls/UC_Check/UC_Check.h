#pragma once
// An owner-drawn check box that can also act as an option button: a small
// square box with a tick (or a dot, in option mode) and a caption beside it.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

namespace basic {
class PictureBox;
}

class UC_Check : public QWidget {
  Q_OBJECT

 public:
  explicit UC_Check(QWidget* parent = nullptr);
  ~UC_Check() override;

  int16_t Enabled() const { return m_Enabled; }
  void SetEnabled(int16_t enabled);
  QString Caption() const { return m_Caption; }
  void SetCaption(const QString& caption);
  void SetFontSize(float points) { m_FontSize = points; }
  void SetSizeRate(float rate) { m_SizeRate = rate; }
  int32_t Value() const { return m_Value; }
  void SetValue(int32_t value);
  // The box image, which several check boxes may share; without one (nullptr)
  // the next Draw makes a new one.
  std::shared_ptr<basic::PictureBox> Gradhdc() const { return m_Box; }
  void SetGradhdc(std::shared_ptr<basic::PictureBox> box) { m_Box = std::move(box); }
  int32_t IsOption() const { return m_IsOption; }
  void SetIsOption(int32_t v) { m_IsOption = v; }
  void SetBGPic(double x, double y, basic::PictureBox* picture);
  void CloseBGObj() { m_BgPicture = nullptr; }
  void Draw();

  int32_t BoxSide() const;  // twips
  basic::PictureBox* Surface() const { return m_Surface; }

 signals:
  void Click();

 private:
  void Layout();
  void EnsureBox();
  void OnUp(int button, int shift, double x, double y);

  basic::PictureBox* m_Surface;
  int16_t m_Enabled = -1;
  QString m_Caption;
  int32_t m_Value = 0;
  int32_t m_IsOption = 0;
  bool m_LaidOut = false;
  double m_CaptionTop = 0;
  int32_t m_BoxTop = 0;
  double m_BgX = 0, m_BgY = 0;
  basic::PictureBox* m_BgPicture = nullptr;
  float m_FontSize = 9;
  float m_SizeRate = 1;
  std::shared_ptr<basic::PictureBox> m_Box;
};
