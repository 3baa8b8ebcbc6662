#pragma once
// One or more short texts (text spaces) on a drawn background: a plain
// surface with a colour scheme and a sunken edge, or one of several colour
// sets (text colour and a bevelled gradient) the host switches between.
// Lengths are twips.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace basic {
class PictureBox;
}

class UC_TextPicture : public QWidget {
  Q_OBJECT

 public:
  explicit UC_TextPicture(QWidget* parent = nullptr);

  void SetDesignType(int32_t v) { m_DesignType = v; }
  int32_t DesignType() const { return m_DesignType; }
  void SetIsFlat(int32_t v) { m_IsFlat = v; }
  void SetLocked(int32_t v) { m_Locked = v; }
  void SetUseDblClick(int32_t v) { m_UseDblClick = v; }
  void SetUseClick(int32_t index, int32_t v);
  QString TextMes(int32_t index) const;
  QString Text() const { return TextMes(0); }

  void AddStdColorSet(int32_t type);
  void AddColorSet(uint32_t fontColor, uint32_t color1, uint32_t color2, uint32_t color3);
  int32_t ColorSetCount() const { return static_cast<int32_t>(m_Sets.size()); }
  int32_t CurrentColorSet() const { return m_CurrentSet; }
  void AddTextSpace(float size, int16_t bold, int16_t italic, const QString& face, int32_t left, int32_t top);
  // pDraw defaults to 0: the callers draw with Init or Draw afterwards.
  void SetColor(int32_t type, int32_t draw = 0);
  void SetColorEx(uint32_t fore, uint32_t back, int32_t draw = 0);
  // Frame width defaults to 2 pixels, gradients on.
  void Init(int32_t wakuWidth = 2, int32_t noGrad = 0);
  // Stores and shows a text; an unchanged text is not redrawn.
  void DispMes(int32_t index, const QString& text, int32_t dontDraw = 0);
  void Draw(int32_t lite = -1);
  void ResetMe();
  int32_t TextSpaceAt(double x, double y) const;

  // How many times the surface was drawn (tests).
  int32_t DrawCount() const { return m_DrawCount; }
  basic::PictureBox* Surface() const { return m_Pic0; }

 signals:
  void MouseUD(int Button, bool IsDown, int pIndex);
  void DblClicked();
  void OLEDragDrop(const QStringList& paths, int effect, int button, int shift, double x, double y);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct ColorSet {
    uint32_t font = 0, color1 = 0, color2 = 0, color3 = 0;
  };
  struct TextSpace {
    int32_t font = 0;
    int32_t left = -1;
    int32_t top = 0;
    QString text;
    int32_t useClick = 0;
  };
  void OnDown(int button, int shift, double x, double y);
  void OnUp(int button, int shift, double x, double y);

  basic::PictureBox* m_Pic0;
  basic::PictureBox* m_Pic1 = nullptr;
  int32_t m_DesignType = 0, m_IsFlat = 0, m_Locked = 0, m_UseDblClick = 0;
  std::vector<ColorSet> m_Sets;
  std::vector<TextSpace> m_Spaces;
  int32_t m_CurrentSet = 0;
  QRect m_Edge;
  bool m_Pressed = false;
  int32_t m_DrawCount = 0;
};
