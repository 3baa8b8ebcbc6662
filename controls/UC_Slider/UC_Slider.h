#pragma once
// A slider for an integer between Min and Max.
#include <QSlider>
#include <QWidget>
#include <cstdint>

class UC_Slider : public QWidget {
  Q_OBJECT

 public:
  explicit UC_Slider(QWidget* parent = nullptr);

  int32_t Value() const { return m_Value; }
  void SetValue(int32_t v);
  int32_t Min() const { return m_Min; }
  void SetMin(int32_t v) { m_Min = v; }
  int32_t Max() const { return m_Max; }
  void SetMax(int32_t v) { m_Max = v; }
  int32_t SmallChange() const { return m_SmallChange; }
  void SetSmallChange(int32_t v) { m_SmallChange = v; }
  void Init();

 signals:
  void Scrolled(int nButton);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QSlider* m_Slider;
  int32_t m_Value = 0, m_Min = 0, m_Max = 1000, m_SmallChange = 10;
};
