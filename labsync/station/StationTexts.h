// The texts of the lab database at a station, in English, German and French: the Batch window's
// line when the lab database is not used, the lab's products in the Specifications window, and
// the Batches window's whole-lab list.
#pragma once

#include <QString>

namespace labsync::station {

enum class StationText {
  StatusNotUsed,     // the line when a lab database is configured but cannot be used
  ConfigUnwritable,  // %1 the file, %2 why
  RecordNotUsable,   // the lab record is not open for writing here
  ThisStation,       // the Batches window's scope
  WholeLab,
  StationColumn,
  ReadingList,     // while the list is read
  NewestShown,     // %1 how many
  ReadingBatch,    // %1 the batch ID
  NotesLead,       // the Specifications window, for a lead with the lab database reached
  NotesStation,    // for anyone else
  NotesUnreached,  // the lab database not reached now
  SavingOnLab,
  SavedOnLab,        // %1 the version
  ProductsNotTaken,  // %1 why
};

QString Text(StationText id, int languageIndex);

}  // namespace labsync::station
