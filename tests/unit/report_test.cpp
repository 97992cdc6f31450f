#include "diag/report.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Column = KtUtils::KtReport::Column;

struct Table {
  Column items = nullptr, details = nullptr, grades = nullptr, notes = nullptr;
  int32_t rows = 0;
  explicit Table(KtUtils::KtReport& report)
      : rows(report.BuildTable(&items, &details, &grades, &notes)) {}
  std::u16string At(Column column, int row) const { return column[row]; }
};

TEST(Report, EmptyReportHasOnlyTheHeaderRow) {
  KtUtils::KtReport report;
  const Table table(report);
  EXPECT_EQ(table.rows, 1);
  EXPECT_EQ(table.At(table.items, 0), u"");
  EXPECT_EQ(table.At(table.details, 0), u"");
  EXPECT_EQ(table.At(table.grades, 0), u"1");
  EXPECT_EQ(table.At(table.notes, 0), u"");
  for (Column column : {table.items, table.details, table.grades, table.notes}) {
    EXPECT_EQ(column[1], nullptr);
  }
}

TEST(Report, GradeOutsideOneToThreeShowsAsOne) {
  KtUtils::KtReport report;
  for (const auto& [grade, text] : {std::pair{0, u"1"}, {2, u"2"}, {3, u"3"}, {5, u"1"}}) {
    report.SetGrade(grade);
    const Table table(report);
    EXPECT_EQ(table.At(table.grades, 0), text) << grade;
  }
}

TEST(Report, EntriesAccumulateWithBlankNotesAndEmptyGradeCells) {
  KtUtils::KtReport report;
  report.AddEntry(u"Total 1 table", u"Table", nullptr);
  const Table first(report);
  report.AddEntry(u"Table", u"3 columns, 10 rows", u"checked");
  const Table second(report);
  ASSERT_EQ(second.rows, 3);
  EXPECT_EQ(second.At(second.items, 1), u"Total 1 table");
  EXPECT_EQ(second.At(second.details, 1), u"Table");
  EXPECT_EQ(second.At(second.notes, 1), u" ");
  EXPECT_EQ(second.At(second.grades, 1), u"");
  EXPECT_EQ(second.At(second.items, 2), u"Table");
  EXPECT_EQ(second.At(second.details, 2), u"3 columns, 10 rows");
  EXPECT_EQ(second.At(second.notes, 2), u"checked");
  EXPECT_EQ(second.items[3], nullptr);
  // Columns handed out earlier stay valid and unchanged.
  EXPECT_EQ(first.rows, 2);
  EXPECT_EQ(first.At(first.items, 1), u"Total 1 table");
  EXPECT_EQ(first.items[2], nullptr);
}

}  // namespace
