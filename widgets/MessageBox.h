#pragma once
// The window's way of telling the user: the platform's plain message box
// with an OK button.
#include "support/Report.h"

namespace basic {

class MessageBoxReporter : public Reporter {
 public:
  void Report(const QString& title, const QString& text, MsgIcon icon) override;
};

}  // namespace basic
