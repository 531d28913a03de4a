#include "ExtraTexts.h"

#include "TextTable.h"

namespace i18n {
namespace {

struct Row {
  Extra id;
  const char16_t* english;
  const char16_t* german;
  const char16_t* french;
};

constexpr Row kRows[] = {
    {Extra::ErrorTitle, u"Error", u"Fehler", u"Erreur"},
    {Extra::SettingsWriteFailed, u"The settings file \"%1\" could not be written: %2",
     u"Die Einstellungsdatei \"%1\" konnte nicht geschrieben werden: %2",
     u"Le fichier de configuration « %1 » n'a pas pu être écrit : %2"},
    {Extra::UnexpectedError, u"An unexpected error occurred: %1", u"Ein unerwarteter Fehler ist aufgetreten: %1",
     u"Une erreur inattendue s'est produite : %1"},
    {Extra::LanguageNotStored, u"The language applies until the program ends but is not kept for the next start.",
     u"Die Sprache gilt bis zum Programmende, wird aber nicht für den nächsten Start gespeichert.",
     u"La langue s'applique jusqu'à la fin du programme, mais n'est pas conservée pour le prochain démarrage."},
    {Extra::FlagMissing, u"The flag picture \"%1\" was not found.", u"Das Flaggenbild \"%1\" wurde nicht gefunden.",
     u"L'image du drapeau « %1 » est introuvable."},
    {Extra::FlagUnreadable, u"The flag picture \"%1\" could not be read.",
     u"Das Flaggenbild \"%1\" konnte nicht gelesen werden.", u"L'image du drapeau « %1 » n'a pas pu être lue."},
    {Extra::HelpTitle, u"Help", u"Hilfe", u"Aide"},
    {Extra::HelpMissing,
     u"The help for this language was not found: neither \"%1\" nor \"%2\" is in these folders:\n%3",
     u"Die Hilfe für diese Sprache wurde nicht gefunden: weder \"%1\" noch \"%2\" liegt in diesen Ordnern:\n%3",
     u"L'aide de cette langue est introuvable : ni « %1 » ni « %2 » ne se trouve dans ces dossiers :\n%3"},
    {Extra::HelpOpenFailed, u"The help file \"%1\" could not be opened. Is a program for this kind of file installed?",
     u"Die Hilfedatei \"%1\" konnte nicht geöffnet werden. Ist ein Programm für diese Art Datei installiert?",
     u"Le fichier d'aide « %1 » n'a pas pu être ouvert. Un programme pour ce type de fichier est-il installé ?"},
};

}  // namespace

QString ExtraText(Extra id, int languageIndex) {
  for (const Row& row : kRows) {
    if (row.id != id) continue;
    switch (languageIndex) {
      case kGerman:
        return QString::fromUtf16(row.german);
      case kFrench:
        return QString::fromUtf16(row.french);
      default:
        return QString::fromUtf16(row.english);
    }
  }
  return {};
}

}  // namespace i18n
