// The recovery report as the library hands it out, what the run did to the target folder, and
// their two renderings: an aligned table for people and one JSON object for programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "target_folder.h"

struct ReportRow {
  std::string item;
  std::string detail;
  std::string note;
};

// One table as RecoveredTables gives it; file names in the form the folder listing has them.
struct TableResult {
  std::string name;
  uint32_t columns = 0;
  uint32_t rows = 0;
  std::vector<std::string> files;
  std::string note;  // what was lost; empty when nothing was
  struct Column {
    std::string name;
    std::string fieldName;
    char type = 'C';
    std::string kind;
  };
  std::vector<Column> columnList;  // deep recovery
  uint32_t damagedUnits = 0;
};

struct Report {
  std::string grade;  // "1" to "3"
  std::vector<ReportRow> rows;
  std::vector<TableResult> tables;
};

// How the run ended, as the program tells it.
struct RunOutcome {
  std::optional<int32_t> result;  // the library's result code; none when it was not called
  int exitStatus = 0;             // the program's exit status
  std::string message;
};

// Fetches the report through RecoveryReport, less its first `skipRows` entries (the library's
// report gathers the entries of every recovery of the process), and the tables of the last
// recovery through RecoveredTables.
Report FetchReport(size_t skipRows = 0);
// An aligned table for people, followed by the files the run wrote (per table, then the others),
// replaced or kept.
std::string FormatReportTable(const Report& report, const FolderChanges& files);
// One JSON object, as the README's schema for --json describes it.
nlohmann::ordered_json ReportJson(const Report& report, const RunOutcome& outcome,
                                  const FolderChanges& files);
// The JSON object as text, as printed.
std::string JsonText(const nlohmann::ordered_json& json);

// A file name as bytes from the system or the command line, shown as text (a byte that is no
// UTF-8 as U+FFFD).
std::string ShownName(const std::string& name);
// Display width of UTF-8 text: one column per code point.
size_t DisplayWidth(const std::string& text);
