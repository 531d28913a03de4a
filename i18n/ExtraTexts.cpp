#include "i18n/ExtraTexts.h"

#include "i18n/TextRows.h"

namespace i18n {
namespace {

constexpr TextRow<Extra> kRows[] = {
    {Extra::ErrorTitle, u"Error", u"Fehler", u"Erreur"},
    {Extra::SettingsWriteFailed, u"The settings file \"%1\" could not be written: %2",
     u"Die Einstellungsdatei \"%1\" konnte nicht geschrieben werden: %2",
     u"Le fichier de configuration « %1 » n'a pas pu être écrit : %2"},
    {Extra::UnexpectedError, u"An unexpected error occurred: %1", u"Ein unerwarteter Fehler ist aufgetreten: %1",
     u"Une erreur inattendue s'est produite : %1"},
    {Extra::AddressOpenFailed, u"The address could not be opened:\n%1",
     u"Die Adresse konnte nicht geöffnet werden:\n%1", u"Impossible d'ouvrir l'adresse :\n%1"},
    {Extra::ClipboardFailed, u"The table could not be put on the clipboard. Nothing has been exported.",
     u"Die Tabelle konnte nicht in die Zwischenablage gelegt werden. Es wurde nichts exportiert.",
     u"Le tableau n'a pas pu être placé dans le presse-papiers. Rien n'a été exporté."},
    {Extra::SpreadsheetNotFound,
     u"No spreadsheet program could be started. The table is on the clipboard: paste it into a program of "
     u"your choice.",
     u"Es konnte kein Tabellenkalkulationsprogramm gestartet werden. Die Tabelle liegt in der Zwischenablage: "
     u"fügen Sie sie in ein Programm Ihrer Wahl ein.",
     u"Aucun tableur n'a pu être démarré. Le tableau est dans le presse-papiers : collez-le dans le programme "
     u"de votre choix."},
    {Extra::ExportUnmappable,
     u"The file cannot hold %1 character(s) of the table, the first is \"%2\". They would be written as "
     u"\"?\". The clipboard holds the complete table.\n\nSave the file anyway?",
     u"Die Datei kann %1 Zeichen der Tabelle nicht aufnehmen, das erste ist \"%2\". Sie würden als \"?\" "
     u"geschrieben. Die Zwischenablage enthält die vollständige Tabelle.\n\nDatei trotzdem speichern?",
     u"Le fichier ne peut pas contenir %1 caractère(s) du tableau, le premier est « %2 ». Ils seraient écrits "
     u"comme « ? ». Le presse-papiers contient le tableau complet.\n\nEnregistrer le fichier quand même ?"},
    {Extra::ExportWriteFailed, u"The file \"%1\" could not be written: %2",
     u"Die Datei \"%1\" konnte nicht geschrieben werden: %2", u"Le fichier « %1 » n'a pas pu être écrit : %2"},
    {Extra::PrintFailed, u"Printing failed: the printer did not accept the job.",
     u"Der Druck ist fehlgeschlagen: der Drucker hat den Auftrag nicht angenommen.",
     u"L'impression a échoué : l'imprimante n'a pas accepté la tâche."},
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
    {Extra::ExportInPlace,
     u"No temporary file can be made beside \"%1\", so the file can only be overwritten in place: if writing "
     u"fails part-way, its old content may be lost.\n\nOverwrite it anyway?",
     u"Neben \"%1\" kann keine temporäre Datei angelegt werden, die Datei kann also nur direkt überschrieben "
     u"werden: schlägt das Schreiben mittendrin fehl, kann ihr alter Inhalt verloren gehen.\n\nTrotzdem "
     u"überschreiben?",
     u"Aucun fichier temporaire ne peut être créé à côté de « %1 » : le fichier ne peut être écrasé que sur "
     u"place, et si l'écriture échoue en cours de route, son ancien contenu peut être perdu.\n\nL'écraser "
     u"quand même ?"},
    {Extra::ExportOldContentKept, u"The file's old content has been written back.",
     u"Der alte Inhalt der Datei wurde zurückgeschrieben.", u"L'ancien contenu du fichier a été réécrit."},
    {Extra::ExportOldContentLost, u"The file's old content could not be written back.",
     u"Der alte Inhalt der Datei konnte nicht zurückgeschrieben werden.",
     u"L'ancien contenu du fichier n'a pas pu être réécrit."},
    {Extra::JournalTitle, u"Journal of the readings", u"Journal der Messwerte", u"Journal des mesures"},
    {Extra::JournalRestore, u"The last session ended unexpectedly with %1 readings. Restore them?",
     u"Die letzte Sitzung endete unerwartet mit %1 Messwerten. Wiederherstellen?",
     // No line break between the number and its word.
     u"La dernière session s'est terminée de façon inattendue avec %1\u00a0mesures. Les restaurer ?"},
    {Extra::JournalRestoreOne, u"The last session ended unexpectedly with 1 reading. Restore it?",
     u"Die letzte Sitzung endete unerwartet mit 1 Messwert. Wiederherstellen?",
     u"La dernière session s'est terminée de façon inattendue avec 1 mesure. La restaurer ?"},
    {Extra::JournalWriteFailed,
     u"The journal of the readings \"%1\" cannot be written: %2\n\nThe program goes on without it: if it ends "
     u"unexpectedly, the readings in the table are lost. Export the readings you want to keep.",
     u"Das Journal der Messwerte \"%1\" kann nicht geschrieben werden: %2\n\nDas Programm arbeitet ohne es weiter: "
     u"endet es unerwartet, sind die Messwerte der Tabelle verloren. Exportieren Sie die Messwerte, die Sie "
     u"behalten möchten.",
     u"Le journal des mesures « %1 » ne peut pas être écrit : %2\n\nLe programme continue sans lui : s'il se "
     u"termine de façon inattendue, les mesures du tableau sont perdues. Exportez les mesures que vous voulez "
     u"conserver."},
    {Extra::JournalSetAside,
     u"The journal of the readings could not be used (%1). It has been kept as \"%2\", and a new journal has been "
     u"started.",
     u"Das Journal der Messwerte konnte nicht verwendet werden (%1). Es wurde als \"%2\" aufbewahrt, und ein neues "
     u"Journal wurde begonnen.",
     u"Le journal des mesures n'a pas pu être utilisé (%1). Il a été conservé sous « %2 » et un nouveau journal a "
     u"été commencé."},
    {Extra::JournalRestoreLater, u"Later", u"Später", u"Plus tard"},
    {Extra::JournalNewer,
     u"The journal of the readings \"%1\" was written by a newer version of the program. This version leaves it as "
     u"it is and runs without a journal: if it ends unexpectedly, the readings in the table are lost. Export the "
     u"readings you want to keep.",
     u"Das Journal der Messwerte \"%1\" wurde von einer neueren Version des Programms geschrieben. Diese Version "
     u"lässt es unverändert und arbeitet ohne Journal: endet sie unerwartet, sind die Messwerte der Tabelle "
     u"verloren. Exportieren Sie die Messwerte, die Sie behalten möchten.",
     u"Le journal des mesures « %1 » a été écrit par une version plus récente du programme. Cette version le "
     u"laisse tel quel et fonctionne sans journal : si elle se termine de façon inattendue, les mesures du tableau "
     u"sont perdues. Exportez les mesures que vous voulez conserver."},
    // Statistics and trend of the readings.
    {Extra::MenuStatistics, u"Statistics…", u"Statistik…", u"Statistiques…"},
    {Extra::MenuTrend, u"Trend…", u"Verlauf…", u"Tendance…"},
    {Extra::StatisticsTitle, u"Statistics", u"Statistik", u"Statistiques"},
    {Extra::TrendTitle, u"Trend", u"Verlauf", u"Tendance"},
    {Extra::StatisticsAllRows, u"All rows: %1", u"Alle Zeilen: %1", u"Toutes les lignes : %1"},
    {Extra::StatisticsSelected, u"Selected rows: %1", u"Ausgewählte Zeilen: %1", u"Lignes sélectionnées : %1"},
    {Extra::StatisticsHaze, u"Haze H", u"Glanzschleier H", u"Voile H"},
    {Extra::StatisticsValues, u"Values", u"Werte", u"Valeurs"},
    {Extra::StatisticsLeftOut, u"Left out (no number)", u"Ausgelassen (keine Zahl)", u"Ignorées (pas un nombre)"},
    {Extra::StatisticsMean, u"Mean", u"Mittelwert", u"Moyenne"},
    {Extra::StatisticsDeviation, u"Standard deviation", u"Standardabweichung", u"Écart type"},
    {Extra::StatisticsMinimum, u"Minimum", u"Minimum", u"Minimum"},
    {Extra::StatisticsMaximum, u"Maximum", u"Maximum", u"Maximum"},
    {Extra::StatisticsRange, u"Range", u"Spannweite", u"Étendue"},
    {Extra::StatisticsWithLetter, u"With mode %1", u"Mit Modus %1", u"Avec mode %1"},
    {Extra::StatisticsHazeNote,
     u"Haze H = G60 − G20 for each row with both values; meaningful for high-gloss surfaces.",
     u"Glanzschleier H = G60 − G20 je Zeile mit beiden Werten; aussagekräftig bei Hochglanzoberflächen.",
     u"Voile H = G60 − G20 pour chaque ligne ayant les deux valeurs ; significatif pour les surfaces très "
     u"brillantes."},
    {Extra::StatisticsCopy, u"Copy", u"Kopieren", u"Copier"},
    {Extra::StatisticsCopyFailed, u"The statistics could not be put on the clipboard.",
     u"Die Statistik konnte nicht in die Zwischenablage gelegt werden.",
     u"Les statistiques n'ont pas pu être placées dans le presse-papiers."},
    {Extra::StatisticsBatch, u"Batch %1: %2 readings", u"Charge %1: %2 Messwerte", u"Lot %1 : %2 mesures"},
    {Extra::StatisticsSpecification, u"Specification", u"Spezifikation", u"Spécification"},
    {Extra::TrendSaveImage, u"Save image…", u"Bild speichern…", u"Enregistrer l'image…"},
    {Extra::TrendValueAxis, u"Gloss (GU)", u"Glanz (GE)", u"Brillance (UB)"},
    {Extra::TrendRowAxis, u"Row", u"Zeile", u"Ligne"},
    {Extra::TrendEmpty, u"No reading is a number yet.", u"Noch kein Messwert ist eine Zahl.",
     u"Aucune mesure n'est encore un nombre."},
    {Extra::TrendImageFilter, u"PNG image (*.png)", u"PNG-Bild (*.png)", u"Image PNG (*.png)"},
    {Extra::TrendImageWriteFailed, u"The image \"%1\" could not be written: %2",
     u"Das Bild \"%1\" konnte nicht geschrieben werden: %2", u"L'image « %1 » n'a pas pu être écrite : %2"},
    {Extra::TrendSaveImageTitle, u"Save image", u"Bild speichern", u"Enregistrer l'image"},
};

}  // namespace

QString ExtraText(Extra id, int languageIndex) { return PickText(kRows, id, languageIndex); }

}  // namespace i18n
