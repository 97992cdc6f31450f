// What a run over several sources shows at its end: a summary with a line per source, or with
// --json an array of the sources' report objects.
#pragma once

#include <string>
#include <vector>

#include "source_run.h"

// An aligned table: per source its name, the tables and rows recovered, its folder and how its
// recovery ended.
std::string FormatBatchSummary(const std::vector<SourceRun>& runs);
// One JSON array: per source the object of the README's --json schema, with "source" and
// "target" in front.
std::string FormatBatchJson(const std::vector<SourceRun>& runs);
// The most serious exit status of all: a stop, then a failure, a write failure, a refused target,
// a source that cannot be opened, nothing to recover, success.
int MostSeriousStatus(const std::vector<SourceRun>& runs);
