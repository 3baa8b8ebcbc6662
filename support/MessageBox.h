#pragma once
// The platform's plain message box. Tests replace the presenter so that no
// modal box ever waits for a click.
#include <QString>
#include <functional>

namespace basic {

enum class MsgIcon { None, Critical, Warning, Information, Question };

// Shows text in a modal box with an OK button, titled title.
void PlainMessage(const QString& title, const QString& text, MsgIcon icon);

using MessagePresenter = std::function<void(const QString& title, const QString& text, MsgIcon icon)>;
// Replaces the presenter (an empty function restores the real box). Returns the old one.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);

// The application's title (window captions, message box titles).
QString AppTitle();

}  // namespace basic
