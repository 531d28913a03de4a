#include "i18n/widgets/Help.h"

#include <QDesktopServices>
#include <QDir>

#include "i18n/DataFiles.h"
#include "i18n/ExtraTexts.h"

namespace i18n {
namespace {

// A language number outside the three (none can be chosen) gets the English help rather than a
// folder.
QString Suffix(int languageIndex) {
  switch (languageIndex) {
    case kGerman:
      return {};
    case kFrench:
      return QStringLiteral("_f");
    default:
      return QStringLiteral("_e");
  }
}

}  // namespace

QString HelpFileName(int languageIndex) { return QStringLiteral("hilfe") + Suffix(languageIndex) + ".chm"; }

QString HelpManualName(int languageIndex) { return QStringLiteral("hilfe") + Suffix(languageIndex) + ".html"; }

QString OpenHelp(const LanguageState& language) {
  const auto open = [&language](const QString& path) {
    // The path goes to the desktop as a URL, never through a command line.
    const QUrl url = QUrl::fromLocalFile(path);
    return language.OpenDocument ? language.OpenDocument(url) : QDesktopServices::openUrl(url);
  };
  const int lang = language.LanguageIndex;
  const QString compiled = FindDataFile(language, HelpFileName(lang));
  if (!compiled.isEmpty() && open(compiled)) return {};
  // No viewer for compiled help on this desktop: the manual says the same.
  const QString manual = FindDataFile(language, HelpManualName(lang));
  if (!manual.isEmpty() && open(manual)) return {};

  if (compiled.isEmpty() && manual.isEmpty()) {
    QStringList folders;
    for (const QString& folder : SearchedFolders(language)) folders.append(QDir::toNativeSeparators(folder));
    return ExtraText(Extra::HelpMissing, lang).arg(HelpFileName(lang), HelpManualName(lang), folders.join('\n'));
  }
  return ExtraText(Extra::HelpOpenFailed, lang).arg(manual.isEmpty() ? compiled : manual);
}

}  // namespace i18n
