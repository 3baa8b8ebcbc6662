#include "measurement/FrmMain.h"

#include "support/MessageBox.h"
#include "support/Surface.h"

FrmMain::FrmMain(QWidget* parent) : QWidget(parent) {
  basic::SetTwipsPerPixel(basic::ScreenTwipsPerPixel());
  setWindowTitle(basic::AppTitle());
  resize(800, 600);
}
