// The help of the current language: the compiled help file when the operator has one, otherwise
// the manual shipped with the program as HTML, opened in the desktop's viewer for it.
#pragma once

#include <QString>

#include "i18n/Language.h"

namespace i18n {

// "hilfe_e.chm", "hilfe.chm", "hilfe_f.chm" for English, German, French.
QString HelpFileName(int languageIndex);
// The same manual as HTML: "hilfe_e.html", "hilfe.html", "hilfe_f.html".
QString HelpManualName(int languageIndex);

// Opens the help of `language.LanguageIndex` through `language.OpenDocument`: the compiled help
// when it is found (DataFiles.h) and the desktop takes it, else the HTML manual. Returns what to
// tell the operator when neither could be opened, the empty text when one was.
QString OpenHelp(const LanguageState& language);

}  // namespace i18n
