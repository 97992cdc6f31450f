// The recovery report: an overall grade from 1 to 3 and one entry per reported item (the table
// total, each table with its column and row counts, the tables found empty). Entries accumulate
// over all recoveries of the process; the host reads them as four parallel columns of texts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace KtUtils {

class KtReport {
 public:
  // One column of the built table: pointers to NUL-terminated texts, ended by a null pointer.
  using Column = char16_t**;

  void SetGrade(int32_t grade) { grade_ = grade; }
  int32_t Grade() const { return grade_; }
  size_t EntryCount() const { return entries_.size(); }
  // A null note is shown as a single blank.
  void AddEntry(const char16_t* item, const char16_t* detail, const char16_t* note);

  // Builds the four columns (item, detail, grade, note): a header row carrying the grade, a row per
  // entry, and a null row that ends them. The columns stay valid for the life of the report (every
  // call builds new ones). Returns the number of rows, header included.
  int32_t BuildTable(Column* items, Column* details, Column* grades, Column* notes);

 private:
  struct ReportEntry {
    std::u16string item;
    std::u16string note;
    std::u16string detail;
  };
  // The storage behind the columns handed out by one BuildTable.
  struct BuiltTable {
    std::vector<std::u16string> texts;
    std::vector<char16_t*> columns[4];
  };

  std::u16string title_;
  int32_t grade_ = 1;
  std::vector<ReportEntry> entries_;
  std::vector<std::unique_ptr<BuiltTable>> built_;
};

}  // namespace KtUtils

extern KtUtils::KtReport g_Report;
