#include "i18n/ToolkitLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "i18n/Language.h"

namespace i18n {
namespace {

// The toolkit's catalogue names the language by its ISO code.
QString LanguageCode(int languageIndex) {
  switch (languageIndex) {
    case kGerman:
      return QStringLiteral("de");
    case kFrench:
      return QStringLiteral("fr");
    default:
      return QString();
  }
}

QLocale::Language LocaleLanguage(int languageIndex) {
  switch (languageIndex) {
    case kGerman:
      return QLocale::German;
    case kFrench:
      return QLocale::French;
    default:
      return QLocale::English;
  }
}

std::unique_ptr<QTranslator>& Installed() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

}  // namespace

QStringList ToolkitTranslationFolders() {
  return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
}

bool ApplyToolkitLanguage(int languageIndex) {
  std::unique_ptr<QTranslator>& installed = Installed();
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  // The system's language, as a native dialog would speak it (the C locale's is English).
  QLocale::Language system = QLocale::system().language();
  if (system == QLocale::C) system = QLocale::English;
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, system != LocaleLanguage(languageIndex));

  const QString code = LanguageCode(languageIndex);
  if (code.isEmpty()) return true;
  auto translator = std::make_unique<QTranslator>();
  for (const QString& folder : ToolkitTranslationFolders()) {
    if (translator->load(QStringLiteral("qtbase_") + code, folder)) {
      QCoreApplication::installTranslator(translator.get());
      installed = std::move(translator);
      return true;
    }
  }
  return false;
}

}  // namespace i18n
