#include "i18n/Language.h"

#include <QDir>

#include "i18n/IniFile.h"

namespace i18n {

QString WorkingDirectoryBasePath() {
  QString path = QDir::toNativeSeparators(QDir::currentPath());
  if (!path.endsWith(QDir::separator())) path += QDir::separator();
  return path;
}

int ReadLanguageSetting(const QString& basePath) {
  const int index = ReadIniInteger(basePath + QString::fromLatin1(kSettingsFileName), "Config", "Language", kEnglish);
  // A hand-edited number outside the three languages would leave every caption empty.
  return index >= kEnglish && index <= kFrench ? index : kEnglish;
}

bool WriteLanguageSetting(const LanguageState& state, QString& error, bool* oldContentLost) {
  return WriteIniValue(state.SettingsPath(), "Config", "Language", QByteArray::number(state.LanguageIndex), error,
                       oldContentLost);
}

}  // namespace i18n
