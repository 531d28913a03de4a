// The lab database's records as the lab record's types, and back: limits, specification versions,
// readings and products.
#pragma once

#include <vector>

#include "lab/LabStore.h"
#include "labsync/LabQueries.h"
#include "labsync/Products.h"

namespace labsync::station {

lab::Limits LimitsOf(const SpecificationAdded& version);
lab::Specification SpecificationOf(const SpecificationAdded& version);
// The version's limits as the lab database keeps them.
void SetLimits(SpecificationAdded& version, const lab::Limits& limits);
lab::LabProductCopy CopyOf(const LabProduct& product);
// A batch of the lab database's list as the record's row: its ID, product, operator, start, close
// and counts.
lab::Batch BatchOf(const LabBatch& batch);
// A batch's readings from the lab database as the statistics and the trend read a batch's.
std::vector<lab::Reading> ReadingsOf(const std::vector<LabReading>& readings);

}  // namespace labsync::station
