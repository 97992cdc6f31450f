#include "diag/report.h"

namespace KtUtils {

void KtReport::AddEntry(const char16_t* item, const char16_t* detail, const char16_t* note) {
  entries_.push_back({item != nullptr ? item : u"", note != nullptr ? note : u" ",
                      detail != nullptr ? detail : u""});
}

int32_t KtReport::BuildTable(Column* items, Column* details, Column* grades, Column* notes) {
  auto table = std::make_unique<BuiltTable>();
  const size_t rows = entries_.size() + 1;
  table->texts.reserve(rows * 4);
  const auto addRow = [&table](std::u16string a, std::u16string b, std::u16string c,
                               std::u16string d) {
    for (std::u16string* text : {&a, &b, &c, &d}) table->texts.push_back(std::move(*text));
  };
  const std::u16string gradeText = grade_ == 2 ? u"2" : grade_ == 3 ? u"3" : u"1";
  addRow(title_, u"", gradeText, u"");
  for (const ReportEntry& entry : entries_) addRow(entry.item, entry.detail, u"", entry.note);

  // The texts are final now, so pointers into them stay put.
  for (int column = 0; column < 4; ++column) {
    table->columns[column].reserve(rows + 1);
    for (size_t row = 0; row < rows; ++row) {
      table->columns[column].push_back(table->texts[row * 4 + column].data());
    }
    table->columns[column].push_back(nullptr);
  }
  Column* outs[4] = {items, details, grades, notes};
  for (int column = 0; column < 4; ++column) {
    if (outs[column] != nullptr) *outs[column] = table->columns[column].data();
  }
  built_.push_back(std::move(table));
  return static_cast<int32_t>(rows);
}

}  // namespace KtUtils
