#pragma once
// A row of equal owner-drawn push buttons in one control. Each button shows
// a caption or an 18 x 18 icon from the icon sheet on a gradient background;
// clicks are reported by button index. Lengths are pixels unless said.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace basic {
class PictureBox;
}

class UC_Buttons : public QWidget {
  Q_OBJECT

 public:
  explicit UC_Buttons(QWidget* parent = nullptr);

  // The icon sheet: 26 icons side by side, image rows 0-17, mask rows 18-35.
  basic::PictureBox* PiclibHdc() const { return m_PictureIcons; }
  int32_t NumButtons() const { return m_NumButtons; }
  void SetNumButtons(int32_t n);
  void SetMimiWidth(int32_t px) { m_MimiWidth = px; }
  int32_t MimiWidth() const { return m_MimiWidth; }
  void SetDesignType(int32_t type);
  void Init();
  void DrawAll();
  // type: 0 normal, 1 pressed (content one pixel down), 2 highlighted.
  void DrawButton(int32_t index, int32_t type);
  int32_t GetButtonDisable(int32_t index, bool temporary) const;
  void SetButtonDisable(int32_t index, int32_t value, bool draw, bool temporary);
  void SetButtonDisableAll(int32_t value, bool temporary);
  void SetNoGrayAtDisabled(int32_t v) { m_NoGrayAtDisabled = v; }
  void SetButtonState(int32_t index, int32_t mode);
  void SetToolTip(const QString& text);
  void SetPicIndexa(int32_t index, int32_t icon);
  void SetPicIndexn(int32_t index, int32_t icon);
  void SetButtonsMCI();
  void SetButtonsPCXplay();
  void SetButtonsEditorCtrl();
  void SetButtonsEditorPlay();
  void SetDisable3D(int32_t v) { m_Disable3D = v; }
  void SetOKCancel(bool okFirst, bool keepSize, int32_t designType);
  void SetFontSize(float points) { m_FontSize = points; }
  void SetFontFace(const QString& face) { m_FontFace = face; }
  void SetFontBold(int16_t bold) { m_FontBold = bold; }
  void SetSelectedColor(uint32_t color);
  uint32_t SelectedColor() const { return m_SelectedColor; }
  int16_t SelectedButton() const { return m_SelectedButton; }
  void SetSelectedButton(int16_t index);
  void SetButtonChar(int32_t index, const QString& text);
  QString GetButtonChar(int32_t index) const;
  QString ButtonChar(int32_t index) const { return GetButtonChar(index); }
  void SetButtonOn(int32_t index, int32_t value, bool draw);
  int32_t GetButtonOn(int32_t index) const;
  void SetButtonCharNum();

  // Layout, for drawing code and tests.
  int32_t ButtonWidth() const { return m_ButtonWidth; }
  int32_t ButtonLeft(int32_t index) const;
  int32_t HitTest(double xTwips) const;
  basic::PictureBox* PictureButton() const { return m_PictureButton; }

 signals:
  void ButtonClicked(int ClickedIndex);
  void RightClicked(int ClickedIndex);
  void ShiftClicked(int ClickedIndex, int Shift);
  void ButtonDown(int ClickedIndex);
  void Hover(int pButtonIndex);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Button {
    int32_t disabled = 0, disabledTemp = 0;
    int32_t left = 0, contentTop = 0, contentLeft = 0;
    int32_t altIcon = -1, normalIcon = -1, toggle = 0, on = 0;
    QString caption;
  };
  bool Valid(int32_t index) const { return index >= 0 && index < m_NumButtons; }
  bool Enabled(int32_t index) const;
  void CentreContent(int32_t index);
  void DrawCaption(int32_t index, int32_t offset, bool pressed);
  void DrawIcon(int32_t index, int32_t offset, bool pressed);
  void TintIcons();
  void Preset(int32_t count, std::initializer_list<int32_t> normal, std::initializer_list<int32_t> alternate,
              int32_t toggle);
  void OnMouseDown(int button, int shift, double x, double y);
  void OnMouseUp(int button, int shift, double x, double y);
  void OnMouseMove(int button, int shift, double x, double y);
  void OnDblClick();

  basic::PictureBox* m_PictureButton;
  basic::PictureBox* m_PictureGrad;
  basic::PictureBox* m_PictureIcons;
  int32_t m_NumButtons = 1;
  std::vector<Button> m_Buttons;
  double m_ButtonHeight = 0;
  int32_t m_ButtonWidth = 0;
  int16_t m_HoverIndex = 0;
  double m_PressX = 0;
  int16_t m_PressedIndex = -1;
  int32_t m_DesignType = 0;
  int32_t m_MimiWidth = -1;
  bool m_IconsTinted = false;
  bool m_Initialised = false;
  uint32_t m_SelectedColor = 0x00D000;
  uint32_t m_DarkSelectedColor = 0;
  int32_t m_Disable3D = 1;
  int16_t m_SelectedButton = -1;
  int32_t m_NoGrayAtDisabled = 0;
  float m_FontSize = 9;
  QString m_FontFace;
  int16_t m_FontBold = 0;
};
