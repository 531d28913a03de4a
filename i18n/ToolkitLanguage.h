// The window toolkit's own texts in the program's language: the standard buttons of message boxes
// (Yes, No, OK, Cancel), the file and print dialogs. The toolkit's translations are installed as
// one more translator; the default locale is never changed, since the table's date format and the
// decimal mark of its values follow the system's and reach the export's bytes.
#pragma once

#include <QString>

namespace i18n {

// Installs the toolkit's translation for `languageIndex` in place of the one installed before
// (none for English). A native file dialog speaks the system's language, not the program's: where
// the two differ, the toolkit's own dialogs are used. Returns false when the translation for a
// language other than English could not be found, in which case the toolkit speaks English.
bool ApplyToolkitLanguage(int languageIndex);

// Where the toolkit's translations are looked for: the toolkit's own folder, then `translations`
// beside the program.
QStringList ToolkitTranslationFolders();

}  // namespace i18n
