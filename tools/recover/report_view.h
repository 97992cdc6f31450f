// The recovery report as the library hands it out, and its two renderings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ReportRow {
  std::string item;
  std::string detail;
  std::string note;
};

struct Report {
  std::string grade;  // "1" to "3"
  std::vector<ReportRow> rows;
};

// Fetches the report through RecoveryReport.
Report FetchReport();
// An aligned table for people.
std::string FormatReportTable(const Report& report);
// One JSON object with the result code, its message, the grade and the rows.
std::string FormatReportJson(const Report& report, int32_t result, const std::string& message);
