#include "deep/csv_table_file.h"

#include <algorithm>
#include <utility>

#include "deep/table_file_names.h"
#include "platform/text.h"

namespace deep {

bool LooksLikeFormula(std::string_view text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

CsvTableFile::CsvTableFile(std::u16string folder, std::u16string base, bool byteOrderMark)
    : folder_(std::move(folder)), base_(std::move(base)), byteOrderMark_(byteOrderMark) {}

bool CsvTableFile::Begin(const std::vector<OutputColumn>& columns) {
  const std::u16string name = FreeTableBase(folder_, base_, {u".CSV"}) + u".csv";
  if (!file_.Create(folder_ + name)) return false;
  if (byteOrderMark_ && !file_.Append("\xEF\xBB\xBF", 3)) return false;
  for (const OutputColumn& column : columns) {
    textCells_.push_back(column.typed.plan.type == 'C' || column.typed.plan.type == 'M');
    if (!line_.empty()) line_ += ',';
    AppendField(qrx::platform::ToValidUtf8(column.name), true);
  }
  return AppendLine();
}

bool CsvTableFile::AddRow(std::span<const std::optional<std::string>> values) {
  for (size_t i = 0; i < textCells_.size(); ++i) {
    if (i > 0) line_ += ',';
    if (i < values.size() && values[i]) AppendField(*values[i], textCells_[i]);
  }
  return AppendLine();
}

bool CsvTableFile::End(std::vector<std::u16string>& files) {
  if (!file_.Commit()) return false;
  const std::u16string& path = file_.FinalPath();
  files.push_back(path.substr(folder_.size()));
  return true;
}

void CsvTableFile::AppendField(std::string_view text, bool guarded) {
  const bool formula = guarded && LooksLikeFormula(text);
  // One pass over the bytes (find_first_of searches the four characters for every byte).
  const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
    return c == ',' || c == '"' || c == '\r' || c == '\n';
  });
  if (!formula && plain) {
    line_ += text;
    return;
  }
  line_ += '"';
  if (formula) line_ += '\'';
  for (const char c : text) {
    if (c == '"') line_ += '"';
    line_ += c;
  }
  line_ += '"';
}

bool CsvTableFile::AppendLine() {
  line_ += "\r\n";
  const bool ok = file_.Append(line_.data(), line_.size());
  line_.clear();
  return ok;
}

}  // namespace deep
