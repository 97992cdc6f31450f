#include "diag/table_results.h"

#include <algorithm>

#include "platform/file.h"
#include "platform/path.h"

namespace KtUtils {

// What Build hands out: the structs and, per entry, its null-terminated list of file names,
// pointing into the entries themselves.
struct TableResults::Built {
  std::vector<qrx_table_result> tables;
  std::vector<std::vector<const qrx_utf16_t*>> files;
};

TableResults::TableResults() = default;
TableResults::~TableResults() = default;

void TableResults::Clear() {
  entries_.clear();
  open_ = false;
  built_.reset();
}

void TableResults::BeginTable(std::u16string name) {
  built_.reset();
  Entry& entry = entries_.emplace_back();
  entry.name = std::move(name);
  open_ = true;
}

void TableResults::AddFile(const std::u16string& path) {
  if (!open_) return;
  const qrx::platform::PathParts parts = qrx::platform::SplitPath(path);
  std::u16string name = parts.name + parts.extension;
  std::vector<std::u16string>& files = entries_.back().files;
  if (std::find(files.begin(), files.end(), name) == files.end()) files.push_back(std::move(name));
}

void TableResults::EndTable(uint32_t columns, uint32_t rows, std::u16string note,
                            const std::u16string& folder) {
  if (!open_) return;
  open_ = false;
  Entry& entry = entries_.back();
  entry.columns = columns;
  entry.rows = rows;
  entry.note = std::move(note);
  entry.folder = qrx::platform::WithTrailingSeparator(folder);
}

const qrx_table_result* TableResults::Build(int32_t& count) {
  auto built = std::make_unique<Built>();
  built->files.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    std::vector<const qrx_utf16_t*>& names = built->files.emplace_back();
    for (const std::u16string& file : entry.files) {
      // A later failure, or a later stored file of the same name, may have removed it again.
      if (!qrx::platform::PathExists(entry.folder + file)) continue;
      names.push_back(reinterpret_cast<const qrx_utf16_t*>(file.c_str()));
    }
    names.push_back(nullptr);
    built->tables.push_back(
        {reinterpret_cast<const qrx_utf16_t*>(entry.name.c_str()), entry.columns, entry.rows,
         names.data(),
         entry.note.empty() ? nullptr : reinterpret_cast<const qrx_utf16_t*>(entry.note.c_str())});
  }
  built_ = std::move(built);
  count = static_cast<int32_t>(entries_.size());
  return built_->tables.empty() ? nullptr : built_->tables.data();
}

}  // namespace KtUtils
