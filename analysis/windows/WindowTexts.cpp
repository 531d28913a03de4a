#include "analysis/windows/WindowTexts.h"

#include "i18n/TextRows.h"

namespace analysis {
namespace {

constexpr i18n::TextRow<WindowText> kRows[] = {
    {WindowText::Copied, u"Copied to the clipboard.", u"In die Zwischenablage kopiert.",
     u"Copié dans le presse-papiers."},
    {WindowText::Saved, u"Saved as %1.", u"Gespeichert als %1.", u"Enregistré sous %1."},
    {WindowText::ImageTitle, u"%1 · Serial No. %2 · %3 readings", u"%1 · Serien-Nr. %2 · %3 Messwerte",
     u"%1 · N° de série %2 · %3\u00a0mesures"},
};

}  // namespace

QString Text(WindowText id, int languageIndex) { return i18n::PickText(kRows, id, languageIndex); }

}  // namespace analysis
