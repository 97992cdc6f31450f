#include "report_view.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <utility>

#include "platform/text.h"
#include "qrx/qrx.h"

namespace {

std::string Text(const qrx_utf16_t* text) {
  return text != nullptr ? qrx::platform::ToValidUtf8(text) : std::string();
}

// Names come from a damaged file: control characters in them would move the terminal's cursor,
// so the table shows each as '?'.
std::string Printable(std::string text) {
  std::replace_if(
      text.begin(), text.end(),
      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, '?');
  return text;
}

std::string Padded(const std::string& text, size_t width) {
  return text + std::string(width - std::min(width, DisplayWidth(text)), ' ');
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(' ') == std::string::npos;
}

// A list of file names under a heading, one a line.
std::string FileList(const std::string& heading, const std::vector<std::string>& names) {
  if (names.empty()) return {};
  std::string out = heading + "\n";
  for (const std::string& name : names) out += "  " + Printable(ShownName(name)) + "\n";
  return out;
}

// "Total 4 tables" gives 4.
std::optional<uint64_t> TableCount(const std::string& item) {
  unsigned long long count = 0;
  if (std::sscanf(item.c_str(), "Total %llu table", &count) != 1) return std::nullopt;
  return count;
}

nlohmann::ordered_json NamesJson(const std::vector<std::string>& names) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const std::string& name : names) list.push_back(ShownName(name));
  return list;
}

nlohmann::ordered_json TableJson(const TableResult& table) {
  return {
      {"name", table.name},
      {"columns", table.columns},
      {"rows", table.rows},
      {"files", NamesJson(table.files)},
      {"note", table.note.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(table.note)}};
}

// The files the run wrote that belong to no table: deep recovery's stored files.
std::vector<std::string> FilesOfNoTable(const Report& report, const FolderChanges& files) {
  std::vector<std::string> others;
  for (const std::string& name : files.written) {
    const bool ofTable =
        std::any_of(report.tables.begin(), report.tables.end(), [&](const auto& t) {
          return std::find(t.files.begin(), t.files.end(), name) != t.files.end();
        });
    if (!ofTable) others.push_back(name);
  }
  return others;
}

// The report's rows with a row of its own for each table with nothing recovered (classic
// recovery names them all in one "Empty" entry).
std::vector<ReportRow> WithEachEmptyTable(const Report& report) {
  std::vector<ReportRow> rows;
  bool emptyListed = false;
  for (const ReportRow& row : report.rows) {
    if (row.detail != "Empty" || report.tables.empty()) {
      rows.push_back(row);
      continue;
    }
    if (std::exchange(emptyListed, true)) continue;
    for (const TableResult& table : report.tables) {
      if (table.rows == 0 && table.files.empty()) rows.push_back({table.name, "Empty", ""});
    }
  }
  return rows;
}

// "Files written:" with a line per table that has files, then the files of no table.
std::string WrittenList(const Report& report, const FolderChanges& files) {
  if (files.written.empty()) return {};
  std::string out = "Files written:\n";
  for (const TableResult& table : report.tables) {
    if (table.files.empty()) continue;
    std::string line;
    for (const std::string& name : table.files)
      line += (line.empty() ? "" : ", ") + ShownName(name);
    out += "  " + Printable(table.name) + ": " + Printable(line) + "\n";
  }
  for (const std::string& name : FilesOfNoTable(report, files)) {
    out += "  " + Printable(ShownName(name)) + "\n";
  }
  return out;
}

}  // namespace

std::string ShownName(const std::string& name) {
  return qrx::platform::ToValidUtf8(qrx::platform::FromUtf8(name));
}

size_t DisplayWidth(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

Report FetchReport(size_t skipRows) {
  qrx_utf16_t** items = nullptr;
  qrx_utf16_t** details = nullptr;
  qrx_utf16_t** grades = nullptr;
  qrx_utf16_t** notes = nullptr;
  RecoveryReport(&items, &details, &grades, &notes);
  Report report{"1", {}, {}};
  if (items == nullptr || details == nullptr || grades == nullptr || notes == nullptr) {
    return report;
  }
  report.grade = Text(grades[0]);
  for (size_t row = 1; items[row] != nullptr; ++row) {
    if (row <= skipRows) continue;
    report.rows.push_back({Text(items[row]), Text(details[row]), Text(notes[row])});
  }
  const qrx_table_result* const* tables = nullptr;
  RecoveredTables(&tables);
  for (; tables != nullptr && *tables != nullptr; ++tables) {
    const qrx_table_result& source = **tables;
    TableResult& table = report.tables.emplace_back();
    table.name = Text(source.name);
    table.columns = source.columns;
    table.rows = source.rows;
    for (const qrx_utf16_t* const* file = source.files; *file != nullptr; ++file) {
      table.files.push_back(qrx::platform::ToUtf8(reinterpret_cast<const char16_t*>(*file)));
    }
    table.note = Text(source.note);
    for (uint32_t i = 0; i < source.columnCount; ++i) {
      const qrx_column_result& column = *source.columnList[i];
      table.columnList.push_back({Text(column.name), Text(column.fieldName),
                                  static_cast<char>(column.type), Text(column.kind)});
    }
    table.damagedUnits = source.damagedUnits;
  }
  return report;
}

std::string FormatReportTable(const Report& report, const FolderChanges& files) {
  std::string out = "Recovery report: grade " + report.grade + " of 3\n";
  if (report.rows.empty()) out += "  (no tables recovered)\n";
  const std::vector<ReportRow> rows = WithEachEmptyTable(report);
  size_t itemWidth = 4;
  size_t detailWidth = 7;
  bool anyNote = false;
  for (const ReportRow& row : rows) {
    itemWidth = std::max(itemWidth, DisplayWidth(row.item));
    detailWidth = std::max(detailWidth, DisplayWidth(row.detail));
    anyNote = anyNote || !IsBlank(row.note);
  }
  const auto line = [&](const std::string& item, const std::string& detail,
                        const std::string& note) {
    std::string text = "  " + Padded(item, itemWidth) + "  ";
    text += anyNote ? Padded(detail, detailWidth) + "  " + note : detail;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };
  if (!report.rows.empty()) {
    out += line("Item", "Details", "Note");
    out += line(std::string(itemWidth, '-'), std::string(detailWidth, '-'), anyNote ? "----" : "");
  }
  for (const ReportRow& row : rows) {
    out += line(Printable(row.item), Printable(row.detail), Printable(row.note));
  }
  out += WrittenList(report, files);
  out += FileList("Files replaced (a stored file of the same name was written):", files.replaced);
  out += FileList("Files removed:", files.removed);
  out += FileList("Tables already there, left as they were (never overwritten):", files.kept);
  return out;
}

nlohmann::ordered_json ReportJson(const Report& report, const RunOutcome& outcome,
                                  const FolderChanges& files) {
  nlohmann::ordered_json tables = nlohmann::ordered_json::array();
  for (const TableResult& table : report.tables) tables.push_back(TableJson(table));
  nlohmann::ordered_json tableCount;
  if (!report.rows.empty()) {
    if (const std::optional<uint64_t> count = TableCount(report.rows.front().item)) {
      tableCount = *count;
    }
  }
  return {{"result",
           outcome.result ? nlohmann::ordered_json(*outcome.result) : nlohmann::ordered_json()},
          {"exitStatus", outcome.exitStatus},
          {"message", outcome.message},
          {"grade", outcome.result ? nlohmann::ordered_json(std::atoi(report.grade.c_str()))
                                   : nlohmann::ordered_json()},
          {"tableCount", tableCount},
          {"tables", tables},
          {"storedFiles", NamesJson(FilesOfNoTable(report, files))},
          {"files",
           {{"written", NamesJson(files.written)},
            {"replaced", NamesJson(files.replaced)},
            {"removed", NamesJson(files.removed)},
            {"kept", NamesJson(files.kept)}}}};
}

std::string JsonText(const nlohmann::ordered_json& json) {
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
