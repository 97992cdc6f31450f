#include "report_view.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "platform/text.h"
#include "qrx/qrx.h"

namespace {

std::string Text(const qrx_utf16_t* text) {
  return text != nullptr ? qrx::platform::ToValidUtf8(text) : std::string();
}

// Display width of UTF-8 text: one column per code point.
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
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
  return text + std::string(width - std::min(width, Width(text)), ' ');
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(' ') == std::string::npos;
}

// A file name as bytes from the system, shown as text (a byte that is no UTF-8 as U+FFFD).
std::string Shown(const std::string& name) {
  return qrx::platform::ToValidUtf8(qrx::platform::FromUtf8(name));
}

// A list of file names under a heading, one a line.
std::string FileList(const std::string& heading, const std::vector<std::string>& names) {
  if (names.empty()) return {};
  std::string out = heading + "\n";
  for (const std::string& name : names) out += "  " + Printable(Shown(name)) + "\n";
  return out;
}

// "Total 4 tables" gives 4.
std::optional<uint64_t> TableCount(const std::string& item) {
  unsigned long long count = 0;
  if (std::sscanf(item.c_str(), "Total %llu table", &count) != 1) return std::nullopt;
  return count;
}

bool IsEmptyTables(const ReportRow& row) {
  return row.detail == "Empty";
}

nlohmann::ordered_json TableJson(const ReportRow& row) {
  unsigned long long columns = 0;
  unsigned long long rows = 0;
  const bool counted =
      std::sscanf(row.detail.c_str(), "%llu columns, %llu rows", &columns, &rows) == 2;
  return {
      {"name", row.item},
      {"columns", counted ? nlohmann::ordered_json(columns) : nlohmann::ordered_json()},
      {"rows", counted ? nlohmann::ordered_json(rows) : nlohmann::ordered_json()},
      {"note", IsBlank(row.note) ? nlohmann::ordered_json() : nlohmann::ordered_json(row.note)}};
}

nlohmann::ordered_json NamesJson(const std::vector<std::string>& names) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const std::string& name : names) list.push_back(Shown(name));
  return list;
}

}  // namespace

Report FetchReport() {
  qrx_utf16_t** items = nullptr;
  qrx_utf16_t** details = nullptr;
  qrx_utf16_t** grades = nullptr;
  qrx_utf16_t** notes = nullptr;
  RecoveryReport(&items, &details, &grades, &notes);
  Report report{"1", {}};
  if (items == nullptr || details == nullptr || grades == nullptr || notes == nullptr) {
    return report;
  }
  report.grade = Text(grades[0]);
  for (size_t row = 1; items[row] != nullptr; ++row) {
    report.rows.push_back({Text(items[row]), Text(details[row]), Text(notes[row])});
  }
  return report;
}

std::string FormatReportTable(const Report& report, const FolderChanges& files) {
  std::string out = "Recovery report: grade " + report.grade + " of 3\n";
  if (report.rows.empty()) out += "  (no tables recovered)\n";
  size_t itemWidth = 4;
  size_t detailWidth = 7;
  bool anyNote = false;
  for (const ReportRow& row : report.rows) {
    itemWidth = std::max(itemWidth, Width(row.item));
    detailWidth = std::max(detailWidth, Width(row.detail));
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
  for (const ReportRow& row : report.rows) {
    out += line(Printable(row.item), Printable(row.detail), Printable(row.note));
  }
  out += FileList("Files written:", files.written);
  out += FileList("Files replaced (a stored file of the same name was written):", files.replaced);
  out += FileList("Files removed:", files.removed);
  out += FileList("Tables already there, left as they were (never overwritten):", files.kept);
  return out;
}

std::string FormatReportJson(const Report& report, const RunOutcome& outcome,
                             const FolderChanges& files) {
  nlohmann::ordered_json tables = nlohmann::ordered_json::array();
  nlohmann::ordered_json tableCount;
  nlohmann::ordered_json emptyTables;
  nlohmann::ordered_json storedFiles;
  for (size_t i = 0; i < report.rows.size(); ++i) {
    const ReportRow& row = report.rows[i];
    // The first entry counts the tables; then the tables, those with nothing recovered marked
    // "Empty".
    if (i == 0 && TableCount(row.item)) {
      tableCount = *TableCount(row.item);
    } else if (IsEmptyTables(row)) {
      // Classic recovery names them all in one entry, deep recovery gives each its own.
      emptyTables =
          emptyTables.is_null() ? row.item : emptyTables.get<std::string>() + ", " + row.item;
    } else if (row.item == "Stored files") {  // the deep recovery's entry after the tables
      storedFiles = row.note;
    } else {
      tables.push_back(TableJson(row));
    }
  }
  const nlohmann::ordered_json out = {{"result", outcome.result},
                                      {"exitStatus", outcome.exitStatus},
                                      {"message", outcome.message},
                                      {"grade", std::atoi(report.grade.c_str())},
                                      {"tableCount", tableCount},
                                      {"tables", tables},
                                      {"emptyTables", emptyTables},
                                      {"storedFiles", storedFiles},
                                      {"files",
                                       {{"written", NamesJson(files.written)},
                                        {"replaced", NamesJson(files.replaced)},
                                        {"removed", NamesJson(files.removed)},
                                        {"kept", NamesJson(files.kept)}}}};
  return out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
