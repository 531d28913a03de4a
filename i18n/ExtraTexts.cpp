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
    {Extra::AddressOpenFailed, u"The address could not be opened:\n%1",
     u"Die Adresse konnte nicht geöffnet werden:\n%1", u"Impossible d'ouvrir l'adresse :\n%1"},
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
