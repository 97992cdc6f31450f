// A table as a CSV file "<table>.csv" (RFC 4180: CRLF line ends, fields holding a comma, quote, CR
// or LF quoted, quotes doubled), in UTF-8 with an optional byte order mark, a header row of the
// full column names first. A text cell (or a name) that a spreadsheet would evaluate as a formula
// (beginning with = + - @, a TAB or a CR) is written with a leading apostrophe, so that the
// spreadsheet shows the text; numbers and dates never are.
#pragma once

#include <string>

#include "dbf/result_file.h"
#include "deep/table_output.h"

namespace deep {

class CsvTableFile : public TableOutput {
 public:
  // `folder` ends with a separator; `base` is the table's file name without extension.
  CsvTableFile(std::u16string folder, std::u16string base, bool byteOrderMark);

  bool Begin(const std::vector<OutputColumn>& columns) override;
  bool AddRow(std::span<const std::optional<std::string>> values) override;
  bool End(std::vector<std::u16string>& files) override;
  void Discard() override { file_.Discard(); }
  std::string Failure() const override { return file_.Failure(); }

 private:
  void AppendField(std::string_view text, bool guarded);
  bool AppendLine();

  std::u16string folder_;
  std::u16string base_;
  bool byteOrderMark_;
  std::vector<bool> textCells_;
  ResultFile file_;
  std::string line_;
};

// Whether a spreadsheet would evaluate a cell beginning as `text` does.
bool LooksLikeFormula(std::string_view text);

}  // namespace deep
