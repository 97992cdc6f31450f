// One source recovered into one target folder: the checks made before the library is called,
// the call itself, and what came of it, told in plain words.
#pragma once

#include <string>

#include "command_line.h"
#include "progress_view.h"
#include "report_view.h"
#include "target_folder.h"

struct SourceRun {
  std::string source;
  std::string target;
  bool ran = false;  // false: refused before the library was called (outcome says why)
  RunOutcome outcome{};
  Report report;        // this run's part of the library's report
  FolderChanges files;  // what the run did to the target folder
};

// Refuses a target that cannot be made or written into, or that already holds files and no
// --force was given (then `outcome` holds the message and exit status); the library is not called.
// Else recovers `source` into `target` with the options of `line`, showing progress on `view`.
SourceRun RecoverSource(const CommandLine& line, const std::string& source,
                        const std::string& target, ProgressView& view);
// How a recovery of `run.source` into `run.target` that answered `result` ended, in plain words.
RunOutcome OutcomeOf(int32_t result, const CommandLine& line, const SourceRun& run);
