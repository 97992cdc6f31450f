#include "target_folder.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace {

// A table or memo file: the library never writes over one, it picks another name or skips it.
bool IsTableFile(const std::string& name) {
  std::string extension = name.size() > 4 ? name.substr(name.size() - 4) : std::string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".dbf" || extension == ".dbt";
}

bool SameFile(const FolderEntry& a, const FolderEntry& b) {
  return a.inode == b.inode && a.size == b.size && a.changedNanoseconds == b.changedNanoseconds;
}

}  // namespace

FolderChanges CompareFolder(const std::vector<FolderEntry>& before,
                            const std::vector<FolderEntry>& after) {
  std::map<std::string, const FolderEntry*> earlier;
  for (const FolderEntry& entry : before) {
    if (entry.isFile) earlier[entry.name] = &entry;
  }
  FolderChanges changes;
  for (const FolderEntry& entry : after) {
    if (!entry.isFile) continue;
    const auto found = earlier.find(entry.name);
    if (found == earlier.end()) {
      changes.written.push_back(entry.name);
      continue;
    }
    if (!SameFile(*found->second, entry)) {
      changes.replaced.push_back(entry.name);
    } else if (IsTableFile(entry.name)) {
      changes.kept.push_back(entry.name);
    }
    earlier.erase(found);
  }
  for (const auto& [name, entry] : earlier) changes.removed.push_back(name);
  return changes;
}
