#pragma once
// A small read-out that shows one line of text.
#include <QLabel>
#include <QWidget>
#include <cstdint>

class UC_TextPicture : public QWidget {
  Q_OBJECT

 public:
  explicit UC_TextPicture(QWidget* parent = nullptr);
  void Init() {}
  // Shows text in line index (this read-out has one line).
  void DispMes(int32_t index, const QString& text);
  QString Text() const { return m_Label->text(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* m_Label;
};
