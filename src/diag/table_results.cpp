#include "diag/table_results.h"

#include <algorithm>

#include "platform/file.h"
#include "platform/path.h"

namespace KtUtils {

// What Build hands out: the structs and, per entry, its null-terminated list of file names,
// pointing into the entries themselves.
struct TableResults::Built {
  std::vector<qrx_table_result> tables;
  std::vector<const qrx_table_result*> pointers;
  std::vector<std::vector<const qrx_utf16_t*>> files;
  std::vector<std::vector<qrx_column_result>> columns;
  std::vector<std::vector<const qrx_column_result*>> columnPointers;
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
  if (open_) AddFileTo(entries_.size() - 1, path);
}

void TableResults::AddFileTo(size_t entry, const std::u16string& path) {
  if (entry >= entries_.size()) return;
  built_.reset();
  const qrx::platform::PathParts parts = qrx::platform::SplitPath(path);
  std::u16string name = parts.name + parts.extension;
  std::vector<std::u16string>& files = entries_[entry].files;
  if (std::find(files.begin(), files.end(), name) == files.end()) files.push_back(std::move(name));
}

void TableResults::SetColumns(std::vector<Column> columns, uint32_t damagedUnits) {
  if (!open_) return;
  entries_.back().columnList = std::move(columns);
  entries_.back().damagedUnits = damagedUnits;
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

const qrx_table_result* const* TableResults::Build(int32_t& count) {
  auto built = std::make_unique<Built>();
  built->files.reserve(entries_.size());
  built->columns.reserve(entries_.size());
  built->columnPointers.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    std::vector<const qrx_utf16_t*>& names = built->files.emplace_back();
    for (const std::u16string& file : entry.files) {
      // A later failure, or a later stored file of the same name, may have removed it again.
      if (!qrx::platform::PathExists(entry.folder + file)) continue;
      names.push_back(reinterpret_cast<const qrx_utf16_t*>(file.c_str()));
    }
    names.push_back(nullptr);
    std::vector<qrx_column_result>& columns = built->columns.emplace_back();
    for (const Column& column : entry.columnList) {
      columns.push_back({reinterpret_cast<const qrx_utf16_t*>(column.name.c_str()),
                         reinterpret_cast<const qrx_utf16_t*>(column.fieldName.c_str()),
                         static_cast<uint32_t>(column.type),
                         reinterpret_cast<const qrx_utf16_t*>(column.kind)});
    }
    std::vector<const qrx_column_result*>& columnList = built->columnPointers.emplace_back();
    for (const qrx_column_result& column : columns) columnList.push_back(&column);
    columnList.push_back(nullptr);
    built->tables.push_back(
        {reinterpret_cast<const qrx_utf16_t*>(entry.name.c_str()), entry.columns, entry.rows,
         names.data(),
         entry.note.empty() ? nullptr : reinterpret_cast<const qrx_utf16_t*>(entry.note.c_str()),
         static_cast<uint32_t>(entry.columnList.size()), columnList.data(), entry.damagedUnits});
  }
  for (const qrx_table_result& table : built->tables) built->pointers.push_back(&table);
  built->pointers.push_back(nullptr);
  built_ = std::move(built);
  count = static_cast<int32_t>(entries_.size());
  return built_->pointers.data();
}

}  // namespace KtUtils
