// Where the program finds the files it keeps beside it (flag icons, help): the working
// directory BasePath first, so that an operator can put their own there, then the program's own
// data folders. The settings file is not looked up: it always lives in BasePath.
#pragma once

#include <QString>
#include <QStringList>

#include "i18n/Language.h"

namespace i18n {

// The program's data folders: its own folder (the build tree puts the files next to the
// executable) and the installed share folder, found from the executable so that the install
// prefix may move.
QStringList ProgramDataFolders();

// The path of the file `name` in BasePath or else in the first of `language.DataFolders` that
// holds it; the empty text when none does. A name that differs only in case counts, since the
// files may come from a system that does not tell case apart.
QString FindDataFile(const LanguageState& language, const QString& name);

// The folders searched, in order, for messages.
QStringList SearchedFolders(const LanguageState& language);

}  // namespace i18n
