// What a run did to the target folder, told from what the folder held before and after it.
#pragma once

#include <string>
#include <vector>

#include "host_system.h"

struct FolderChanges {
  std::vector<std::string> written;   // files under names that were free before the run
  std::vector<std::string> replaced;  // files there before, now a new file under the same name
  std::vector<std::string> removed;   // files there before and gone after the run
  std::vector<std::string> kept;      // tables and memo files there before, left as they were
};

FolderChanges CompareFolder(const std::vector<FolderEntry>& before,
                            const std::vector<FolderEntry>& after);
