#pragma once
// Messages for the user from code that knows nothing of windows (a device
// that failed, say). The front end decides where they go: the window shows
// them in a message box, the command line writes them to standard error.
#include <QString>
#include <functional>

namespace basic {

enum class MsgIcon { None, Critical, Warning, Information, Question };

class Reporter {
 public:
  virtual ~Reporter() = default;
  virtual void Report(const QString& title, const QString& text, MsgIcon icon) = 0;
};

// Installs the front end's reporter (not owned). Without one, messages go to
// standard error.
void SetReporter(Reporter* reporter);

// Tells the user text, titled title: through the presenter a test has set,
// else through the reporter.
void PlainMessage(const QString& title, const QString& text, MsgIcon icon);

// Tests take the messages themselves (an empty function gives them back to
// the reporter). Returns the old presenter.
using MessagePresenter = std::function<void(const QString& title, const QString& text, MsgIcon icon)>;
MessagePresenter SetMessagePresenter(MessagePresenter presenter);

// The application's title (window captions, message titles).
QString AppTitle();

}  // namespace basic
