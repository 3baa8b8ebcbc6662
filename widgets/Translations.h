#pragma once
// Qt's own texts (standard buttons such as Yes and No, the file dialog, the
// context menus of text fields) in Japanese, the language of the program's
// own texts.
namespace basic {

// Installs Qt's Japanese translation once per run (later calls return at
// once). False when no translation could be loaded; Qt's texts then stay
// English.
bool InstallQtTranslations();

}  // namespace basic
