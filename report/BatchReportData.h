// A batch's report filled from the batch as the lab record keeps it. A batch read from elsewhere
// (the lab database's view of another station's batch) is given in the same terms: its row, the
// specification version it started with and its readings, so that every batch report is filled by
// the same code.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "lab/LabStore.h"
#include "report/ReportData.h"

namespace report {

// The specification version as the report prints it: product, version, limits in GU, warning band,
// largest haze index.
ReportSpecification ReportSpecificationOf(const lab::Specification& spec);

// The report of `batch` in language `language`: its ID; `spec`, the specification version it started
// with (none: measured without one); its operator; the instruments its readings came from, each
// serial number and firmware once, in the order first used; every reading in the order taken, with
// its texts as recorded, its date and time from the instant it was taken (ISO 8601, in the offset it
// was taken in), its comment as it stands now, its withdrawn mark and its verdict. An open batch's
// report is provisional. The program's version, the paper of the system's locale and the moment of
// writing are filled in; the report settings (lab name, logo, calibration) are not.
ReportData BatchReportData(const lab::Batch& batch, const std::optional<lab::Specification>& spec,
                           const std::vector<lab::Reading>& readings, int language);

// The same, read from `store`; none when the batch is not there or its specification version
// cannot be read.
std::optional<ReportData> BatchReportData(lab::LabStore& store, std::int64_t batch, int language);

}  // namespace report
