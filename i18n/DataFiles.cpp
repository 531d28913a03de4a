#include "i18n/DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace i18n {

QStringList ProgramDataFolders() {
  const QString bin = QCoreApplication::applicationDirPath();
  return {bin, QDir::cleanPath(bin + QLatin1Char('/') + QStringLiteral(KORVANTA_DATA_FROM_BIN))};
}

QStringList SearchedFolders(const LanguageState& language) {
  QStringList folders;
  if (!language.BasePath.isEmpty()) folders.append(language.BasePath);
  for (const QString& folder : language.DataFolders) {
    if (!folder.isEmpty()) folders.append(folder);
  }
  return folders;
}

QString FindDataFile(const LanguageState& language, const QString& name) {
  // A bare file name only: a text entry never names another folder.
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) return {};
  for (const QString& folder : SearchedFolders(language)) {
    const QDir dir(folder);
    const QString exact = dir.filePath(name);
    if (QFileInfo(exact).isFile()) return QDir::toNativeSeparators(exact);
    // Name filters ignore case; the names we look for hold no wildcard characters.
    const QStringList other = dir.entryList({name}, QDir::Files | QDir::Readable, QDir::Name);
    if (!other.isEmpty()) return QDir::toNativeSeparators(dir.filePath(other.first()));
  }
  return {};
}

}  // namespace i18n
