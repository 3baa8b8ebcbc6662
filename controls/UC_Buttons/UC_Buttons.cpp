#include "controls/UC_Buttons/UC_Buttons.h"

UC_Buttons::UC_Buttons(QWidget* parent) : QWidget(parent) {}

void UC_Buttons::SetButtonChar(int32_t index, const QString& text) {
  if (index < 0) return;
  while (m_Captions.size() <= index) m_Captions << QString();
  m_Captions[index] = text;
}

QString UC_Buttons::ButtonChar(int32_t index) const {
  return index >= 0 && index < m_Captions.size() ? m_Captions[index] : QString();
}

void UC_Buttons::SetButtonState(int32_t index, int32_t state) {
  if (index < 0 || index >= static_cast<int32_t>(m_States.size())) return;
  m_States[static_cast<size_t>(index)] = state;
  m_Buttons[static_cast<size_t>(index)]->setDown(state != 0);
}

int32_t UC_Buttons::ButtonState(int32_t index) const {
  return index >= 0 && index < static_cast<int32_t>(m_States.size()) ? m_States[static_cast<size_t>(index)] : 0;
}

void UC_Buttons::Init() {
  for (QPushButton* b : m_Buttons) delete b;
  m_Buttons.clear();
  m_States.assign(static_cast<size_t>(m_NumButtons), 0);
  for (int32_t i = 0; i < m_NumButtons; ++i) {
    auto* b = new QPushButton(ButtonChar(i), this);
    connect(b, &QPushButton::clicked, this, [this, i] { emit ButtonClicked(i); });
    b->show();
    m_Buttons.push_back(b);
  }
  resizeEvent(nullptr);
}

void UC_Buttons::DrawAll() {
  for (size_t i = 0; i < m_Buttons.size(); ++i) m_Buttons[i]->setText(ButtonChar(static_cast<int32_t>(i)));
}

void UC_Buttons::resizeEvent(QResizeEvent*) {
  if (m_Buttons.empty()) return;
  const int w = width() / static_cast<int>(m_Buttons.size());
  for (size_t i = 0; i < m_Buttons.size(); ++i) m_Buttons[i]->setGeometry(static_cast<int>(i) * w, 0, w, height());
}
