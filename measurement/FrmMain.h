#pragma once
// The program's one window.
#include <QWidget>

class FrmMain : public QWidget {
  Q_OBJECT

 public:
  explicit FrmMain(QWidget* parent = nullptr);
};
