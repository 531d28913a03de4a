#include "i18n/TextTable.h"

namespace i18n {
namespace {

struct Row {
  const char16_t* german;
  const char16_t* english;
  const char16_t* french;
};

// Entry by entry, as the operator sees them (spelling included).
constexpr Row kTexts[kEntryCount] = {
    {u"Kann Port nicht öffnen! Bitte Anwendung erneut starten!",
     u"Couldn't open port! Please restart application to retry!",
     u"N'ouvre pas le port. Recomencer application s.v.p."},
    {u"Verbindung unterbrochen", u"Connection lost", u"Jonction perdue"},
    {u"Sind Sie sicher ?", u"Are you shure ?", u"Vous êtes sûre?"},
    {u"Frage", u"Question", u"Question"},
    {u"Datum", u"Date", u"Date"},
    {u"Zeit", u"Time", u"Heure"},
    {u"Modus 20°", u"Mode 20°", u"Mode 20°"},
    {u"Wert 20°", u"Value 20°", u"Valeur 20°"},
    {u"Kommentar", u"Comment", u"Commentaire"},
    {u"Daten", u"Data", u"Données"},
    {u"Messen", u"Measure", u"Mesurer"},
    {u"Licht", u"Light", u"Lumière"},
    {u"Serien Nr.:", u"Serial No.:", u"No. de série :"},
    {u"Firmware :", u"Firmware :", u"No. de version :"},
    {u"Daten löschen", u"Clear Data", u"Effacer les donées"},
    {u"Zeile löschen", u"Clear Line", u"Effacer la ligne"},
    {u"Export", u"Export", u"Exportation"},
    {u"Optionen", u"Options", u"Options"},
    {u"Speichern in Zwischenablage und Excel starten", u"Save to Clipboard and start Excel",
     u"Mémoriser dans le presse-papiers et démarrer Excel"},
    {u"Speichern in Datei", u"Save to File", u"Mémoriser dans un fichier"},
    {u"Drucken", u"Print", u"Imprimer"},
    {u"Abbrechen", u"Cancel", u"Quitter"},
    {u"Kommentar ändern", u"Change Comment For Data", u"Changer le commentaire"},
    {u"CTRGERM.ICO", u"CTRUK.ICO", u"CTRFRAN.ICO"},
    {u"Sprache", u"Language", u"Langue"},
    {u"Modus 60°", u"Mode 60°", u"Mode 60°"},
    {u"Wert 60°", u"Value 60°", u"Valeur 60°"},
    {u"Messgeometrie", u"Measuring geometry", u"Géométrie de mesure"},
    {u"Achtung! Wenn Sie fortfahren, können Sie die Messgeometrie verstellen! Möchten Sie fortfahren?",
     u"Attention! If you continue, you can adjust the measuring geometry! Would you like to continue?",
     u"Respect! Si vous continuez, vous pouvez déplacer la géométrie de mesure! Voudriez continuer vous?"},
    {u"Meldung", u"Message", u"Annonce"},
    {u"Winkel", u"Angle", u"Angle"},
    {u"Geometrie 20°", u"Geometry 20°", u"Géométrie 20°"},
    {u"Geometrie 60°", u"Geometry 60°", u"Géométrie 60°"},
    {u"Dunkelmessung 20°", u"Dark measurement 20°", u"Mesurage sombre 20°"},
    {u"Dunkelmessung 60°", u"Dark measurement 60°", u"Mesurage sombre 60°"},
    {u"Undefiniert", u"Undefined", u"Non défini"},
    {u"Verfügbar", u"Available", u"Le disponible"},
    {u"Gesperrt", u"Locked", u"Bloqué"},
    {u"Setup", u"Setup", u"Setup"},
    {u"Dunkelmessung", u"Dark measurement", u"Mesurage sombre"},
    {u"Alles freigeben", u"Release all", u"Tout autorisent"},
    {u"Nr.", u"No.", u"No."},
    {u"", u"", u""},
};

}  // namespace

void TextTable::FillLanguageBlocks() {
  for (int k = 0; k < kEntryCount; ++k) {
    const Row& row = kTexts[k];
    slots_[static_cast<std::size_t>(kGermanBlock + k)] = QString::fromUtf16(row.german);
    slots_[static_cast<std::size_t>(kEnglishBlock + k)] = QString::fromUtf16(row.english);
    slots_[static_cast<std::size_t>(kFrenchBlock + k)] = QString::fromUtf16(row.french);
  }
}

void TextTable::LoadTextSet(int languageIndex) {
  int base = 0;
  switch (languageIndex) {
    case kEnglish:
      base = kEnglishBlock;
      break;
    case kGerman:
      base = kGermanBlock;
      break;
    case kFrench:
      base = kFrenchBlock;
      break;
    default:
      return;  // no block: the current set keeps what it holds
  }
  for (int k = 0; k < kBlockSize; ++k) {
    const std::optional<QString>& text = slots_[static_cast<std::size_t>(base + k)];
    if (!text) break;
    slots_[static_cast<std::size_t>(kCurrentBlock + k)] = text;
  }
}

QString TextTable::Entry(int k) const {
  if (k < 0 || k >= kBlockSize) return {};
  return slots_[static_cast<std::size_t>(kCurrentBlock + k)].value_or(QString());
}

}  // namespace i18n
