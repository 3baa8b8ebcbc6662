#include "widgets/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace basic {

bool InstallQtTranslations() {
  static bool tried = false, installed = false;
  if (tried || !QCoreApplication::instance()) return installed;
  tried = true;
  // Debian ships it in qt6-translations-l10n, beside Qt's other translations.
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installed = QCoreApplication::installTranslator(translator);
  if (!installed) delete translator;
  return installed;
}

}  // namespace basic
