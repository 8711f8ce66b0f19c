#pragma once
// What a conversion run would do, row by row, before it runs: computed from
// the same rows the run builds, so the plan and the run never disagree.

#include <string>
#include <vector>

#include "engine/conversion_run.h"

namespace zandro {

enum class PlanOutcome {
  Free,               // the target will be written
  ExistsOnDisk,       // the overwrite prompt will ask
  CollidesInBatch,    // an earlier row of this run writes the same target
  IsTheSource,        // the target is the source itself
  IsSourceOfRow,      // the target is the source of another row: never replaced
  UnusableName,       // the name from tags cannot be used
  NoBitrate,          // no bit rate chosen for the stream
  StreamNotSupported  // the target kind cannot hold this stream
};

struct PlanRow {
  StatusRow row;
  PlanOutcome outcome = PlanOutcome::Free;
  std::size_t collidesWith = 0;  // the other row, for CollidesInBatch and IsSourceOfRow
};

// Probes each source (as the run will) and judges its target. Changes nothing on disk.
std::vector<PlanRow> PlanConversion(const FileList& list, const ConvertSettings& settings,
                                    const TagRuleSettings& rule);

// "free", "exists (will ask)", "collides with row 2", ...
std::string OutcomeText(const PlanRow& row);

}  // namespace zandro
