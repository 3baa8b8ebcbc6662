#pragma once
// A strip of push buttons that reports clicks by index.
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <vector>

class UC_Buttons : public QWidget {
  Q_OBJECT

 public:
  explicit UC_Buttons(QWidget* parent = nullptr);

  int32_t NumButtons() const { return m_NumButtons; }
  void SetNumButtons(int32_t n) { m_NumButtons = n < 1 ? 1 : n; }
  void SetButtonChar(int32_t index, const QString& text);
  QString ButtonChar(int32_t index) const;
  // 1 pressed, 0 released.
  void SetButtonState(int32_t index, int32_t state);
  int32_t ButtonState(int32_t index) const;
  void Init();
  void DrawAll();

 signals:
  void ButtonClicked(int ClickedIndex);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  int32_t m_NumButtons = 1;
  QStringList m_Captions;
  std::vector<int32_t> m_States;
  std::vector<QPushButton*> m_Buttons;
};
