// The recovery report as the library hands it out, what the run did to the target folder, and
// their two renderings: an aligned table for people and one JSON object for programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
};

struct Report {
  std::string grade;  // "1" to "3"
  std::vector<ReportRow> rows;
  std::vector<TableResult> tables;
};

// How the run ended, as the program tells it.
struct RunOutcome {
  int32_t result;  // the library's result code
  int exitStatus;  // the program's exit status
  std::string message;
};

// Fetches the report through RecoveryReport and the tables through RecoveredTables.
Report FetchReport();
// An aligned table for people, followed by the files the run wrote (per table, then the others),
// replaced or kept.
std::string FormatReportTable(const Report& report, const FolderChanges& files);
// One JSON object, as the README's schema for --json describes it.
std::string FormatReportJson(const Report& report, const RunOutcome& outcome,
                             const FolderChanges& files);
