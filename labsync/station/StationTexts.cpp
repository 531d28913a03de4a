#include "labsync/station/StationTexts.h"

#include "i18n/TextRows.h"

namespace labsync::station {
namespace {

using T = StationText;

// French puts a no-break space before a colon or semicolon.
constexpr i18n::TextRow<T> kRows[] = {
    {T::StatusNotUsed, u"Lab database: not used", u"Labordatenbank: nicht verwendet",
     u"Base de données du laboratoire\u00A0: non utilisée"},
    {T::ConfigUnwritable,
     u"The station's identity cannot be kept in %1 (%2), so nothing is sent. The readings wait on this station.",
     u"Die Kennung der Station kann nicht in %1 gespeichert werden (%2), daher wird nichts gesendet. Die Messwerte "
     u"warten auf dieser Station.",
     u"L’identité du poste ne peut pas être conservée dans %1 (%2)\u00A0; rien n’est donc envoyé. Les mesures "
     u"attendent sur ce poste."},
    {T::RecordNotUsable, u"The lab record cannot be written by this copy of the program, so this copy sends nothing.",
     u"Diese Kopie des Programms kann das Laborprotokoll nicht schreiben und sendet daher nichts.",
     u"Cette copie du programme ne peut pas écrire le registre du laboratoire et n’envoie donc rien."},
    {T::ThisStation, u"This station", u"Diese Station", u"Ce poste"},
    {T::WholeLab, u"Whole lab", u"Ganzes Labor", u"Tout le laboratoire"},
    {T::StationColumn, u"Station", u"Station", u"Poste"},
    {T::ReadingList, u"Reading the lab's batches…", u"Die Chargen des Labors werden gelesen …",
     u"Lecture des lots du laboratoire…"},
    {T::NewestShown, u"The newest %1 batches are shown; narrow the filter to see older ones.",
     u"Die neuesten %1 Chargen werden angezeigt; grenzen Sie den Filter ein, um ältere zu sehen.",
     u"Les %1 lots les plus récents sont affichés\u00A0; affinez le filtre pour voir les plus anciens."},
    {T::ReadingBatch, u"Reading batch %1…", u"Charge %1 wird gelesen …", u"Lecture du lot %1…"},
    {T::NotesLead,
     u"These are the lab database's products. You are a lead: what you save here is saved there, for every "
     u"station.",
     u"Dies sind die Produkte der Labordatenbank. Sie sind Laborleiter: Was Sie hier speichern, wird dort für alle "
     u"Stationen gespeichert.",
     u"Ce sont les produits de la base de données du laboratoire. Vous êtes responsable\u00A0: ce que vous "
     u"enregistrez ici l’est là-bas, pour tous les postes."},
    {T::NotesStation, u"These are the lab database's products. Only a lab lead may change them.",
     u"Dies sind die Produkte der Labordatenbank. Nur ein Laborleiter darf sie ändern.",
     u"Ce sont les produits de la base de données du laboratoire. Seul un responsable du laboratoire peut les "
     u"modifier."},
    {T::NotesUnreached,
     u"These are the lab database's products as last read; batches are judged against them. They can be changed "
     u"only while the lab database is reached, and only by a lab lead.",
     u"Dies sind die Produkte der Labordatenbank, wie sie zuletzt gelesen wurden; Chargen werden nach ihnen "
     u"beurteilt. Sie können nur geändert werden, während die Labordatenbank erreichbar ist, und nur von einem "
     u"Laborleiter.",
     u"Ce sont les produits de la base de données du laboratoire tels qu’ils ont été lus en dernier\u00A0; les lots "
     u"sont jugés d’après eux. Ils ne peuvent être modifiés que lorsque la base de données du laboratoire est "
     u"joignable, et seulement par un responsable du laboratoire."},
    {T::SavingOnLab, u"Saving on the lab database…", u"Wird in der Labordatenbank gespeichert …",
     u"Enregistrement dans la base de données du laboratoire…"},
    {T::SavedOnLab, u"Saved on the lab database as version %1.", u"In der Labordatenbank als Version %1 gespeichert.",
     u"Enregistré dans la base de données du laboratoire comme version %1."},
    {T::ProductsNotTaken, u"The lab's products could not be taken into this station's record: %1",
     u"Die Produkte des Labors konnten nicht in das Protokoll dieser Station übernommen werden: %1",
     u"Les produits du laboratoire n’ont pas pu être repris dans le registre de ce poste\u00A0: %1"},
};

}  // namespace

QString Text(StationText id, int languageIndex) { return i18n::PickText(kRows, id, languageIndex); }

}  // namespace labsync::station
