// The operator's language and the files found beside the program: BasePath, LanguageIndex, the
// text table, and the settings file that keeps the language between runs.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "i18n/TextTable.h"

namespace i18n {

inline constexpr const char* kSettingsFileName = "318qx.ini";

struct LanguageState {
  // The working directory at start-up with a separator appended.
  QString BasePath;
  // 0 English, 1 German, 2 French.
  int LanguageIndex = kEnglish;
  ::i18n::TextTable TextTable;
  // The program's own data folders, searched for flags and help after BasePath (main() sets
  // them; see DataFiles.h).
  QStringList DataFolders;
  // Hands a document to the desktop's viewer for it; QDesktopServices when not set. Tests put a
  // recorder here instead of launching a viewer.
  std::function<bool(const QUrl&)> OpenDocument;

  // Text entry k of the current text set.
  QString Text(int k) const { return TextTable.Entry(k); }
  QString SettingsPath() const { return BasePath + QString::fromLatin1(kSettingsFileName); }
};

// The current working directory with the platform's separator appended.
QString WorkingDirectoryBasePath();

// The language kept in the settings file in `basePath`: [Config] Language. A missing file,
// section or key, a text that is no integer, and a number that names no language all read as
// English.
int ReadLanguageSetting(const QString& basePath);

// Writes LanguageIndex into the settings file. On failure returns false with the reason (and
// whether even the file's old content could not be put back).
bool WriteLanguageSetting(const LanguageState& state, QString& error, bool* oldContentLost = nullptr);

}  // namespace i18n
