// A table of texts in the three languages, for parts of the program that keep their own messages
// beside their code (an addition removed takes its texts with it):
//
//   enum class LabText { WindowTitle, ... };
//   constexpr i18n::TextRow<LabText> kRows[] = {{LabText::WindowTitle, u"Batch", u"Charge", u"Lot"}, ...};
//   QString Text(LabText id, int lang) { return i18n::PickText(kRows, id, lang); }
#pragma once

#include <QString>
#include <iterator>

#include "i18n/TextTable.h"

namespace i18n {

template <typename Id>
struct TextRow {
  Id id;
  const char16_t* english;
  const char16_t* german;
  const char16_t* french;
};

// The text of `id` in language `languageIndex` (English for any other value); empty when the
// table has no row for it.
template <typename Id, std::size_t N>
QString PickText(const TextRow<Id> (&rows)[N], Id id, int languageIndex) {
  for (const TextRow<Id>& row : rows) {
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
