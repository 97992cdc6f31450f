#include "deep/recovery_report.h"

#include <algorithm>

#include "diag/report.h"
#include "diag/table_results.h"
#include "platform/text.h"

namespace deep {

std::u16string Joined(const std::vector<std::u16string>& parts, const char16_t* separator) {
  std::u16string joined;
  for (const std::u16string& part : parts) {
    if (!joined.empty()) joined += separator;
    joined += part;
  }
  return joined;
}

std::u16string NoteOf(const TableOutcome& table) {
  std::vector<std::u16string> parts;
  if (table.summary.writeFailed) parts.push_back(u"not written (see the log)");
  const auto count = [&](uint32_t n, const std::string& what) {
    if (n != 0) parts.push_back(ToWide(std::to_string(n) + " " + what));
  };
  const std::string damaged = std::string("damaged ") + table.unit;
  count(table.damagedUnits, table.damagedUnits == 1 ? damaged : damaged + "s");
  count(table.conflicts, table.conflicts == 1 ? "conflict" : "conflicts");
  count(table.summary.valuesNotTyped, "values not typed");
  count(table.summary.charactersNotEncoded, "characters not encoded");
  return Joined(parts, u"; ");
}

std::vector<std::u16string> TableFilesFirst(const std::vector<std::u16string>& files) {
  const auto rank = [](const std::u16string& file) {
    return file.ends_with(u".dbf") ? 0 : file.ends_with(u".dbt") ? 1 : 2;
  };
  // Rank by rank rather than a stable sort, whose buffer may silently fail to be had.
  std::vector<std::u16string> ordered;
  ordered.reserve(files.size());
  for (int wanted = 0; wanted <= 2; ++wanted) {
    for (const std::u16string& file : files) {
      if (rank(file) == wanted) ordered.push_back(file);
    }
  }
  return ordered;
}

const char16_t* KindName(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::kNumber:
      return u"number";
    case ColumnKind::kDate:
      return u"date";
    case ColumnKind::kTime:
      return u"time";
    case ColumnKind::kTimestamp:
      return u"timestamp";
    case ColumnKind::kContainer:
      return u"container";
    case ColumnKind::kText:
      break;
  }
  return u"text";
}

void NoteTableResult(const TableOutcome& table, const std::u16string& targetDir) {
  g_TableResults.BeginTable(table.name);
  for (const std::u16string& file : TableFilesFirst(table.summary.files)) {
    g_TableResults.AddFile(file);
  }
  std::vector<KtUtils::TableResults::Column> columns;
  for (size_t i = 0; i < table.summary.columns.size(); ++i) {
    const OutputColumn& column = table.summary.columns[i];
    columns.push_back({column.name, ToWide(table.summary.fieldNames[i]), column.typed.plan.type,
                       KindName(column.typed.kind)});
  }
  g_TableResults.SetColumns(std::move(columns), table.damagedUnits);
  g_TableResults.EndTable(static_cast<uint32_t>(table.columns), table.summary.rows, NoteOf(table),
                          targetDir);
}

void ReportTables(const std::vector<TableOutcome>& tables, uint64_t dataUnits,
                  uint64_t damagedUnits) {
  const double damagedShare = dataUnits == 0 ? 1.0 : static_cast<double>(damagedUnits) / dataUnits;
  g_Report.SetGrade(damagedUnits == 0 ? 3 : damagedShare <= 0.1 ? 2 : 1);
  std::vector<std::u16string> names;
  for (const TableOutcome& table : tables) names.push_back(table.name);
  const std::u16string total = ToWide("Total " + std::to_string(tables.size()) +
                                      (tables.size() == 1 ? " table" : " tables"));
  g_Report.AddEntry(total.c_str(), Joined(names, u", ").c_str(), nullptr);
  for (const TableOutcome& table : tables) {
    const std::u16string detail = table.summary.rows == 0 && !table.summary.written
                                      ? std::u16string(u"Empty")
                                      : ToWide(std::to_string(table.columns) + " columns, " +
                                               std::to_string(table.summary.rows) + " rows");
    const std::u16string note = NoteOf(table);
    g_Report.AddEntry(table.name.c_str(), detail.c_str(), note.empty() ? nullptr : note.c_str());
  }
}

}  // namespace deep
