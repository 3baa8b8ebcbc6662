#include "controls/UC_TextPicture/UC_TextPicture.h"

UC_TextPicture::UC_TextPicture(QWidget* parent) : QWidget(parent), m_Label(new QLabel(this)) {
  m_Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void UC_TextPicture::DispMes(int32_t index, const QString& text) {
  if (index == 0) m_Label->setText(text);
}

void UC_TextPicture::resizeEvent(QResizeEvent*) { m_Label->setGeometry(rect()); }
