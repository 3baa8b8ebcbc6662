#include "controls/UC_Slider/UC_Slider.h"

#include <algorithm>

UC_Slider::UC_Slider(QWidget* parent) : QWidget(parent), m_Slider(new QSlider(Qt::Horizontal, this)) {
  connect(m_Slider, &QSlider::valueChanged, this, [this](int v) {
    if (v == m_Value) return;
    m_Value = v;
    emit Scrolled(1);
  });
}

void UC_Slider::SetValue(int32_t v) {
  m_Value = std::clamp(v, std::min(m_Min, m_Max), std::max(m_Min, m_Max));
  const QSignalBlocker block(m_Slider);
  m_Slider->setValue(m_Value);
}

void UC_Slider::Init() {
  const QSignalBlocker block(m_Slider);
  m_Slider->setRange(m_Min, m_Max);
  m_Slider->setSingleStep(m_SmallChange);
  m_Slider->setValue(m_Value);
}

void UC_Slider::resizeEvent(QResizeEvent*) { m_Slider->setGeometry(rect()); }
