// Deep recovery of fp7 files made with the builders, for what the real samples lack: long values in
// pieces, a record continued on the next page, an old copy of a page, a lost catalogue, damage in
// the middle of the file, many tables. Recovered through FileRecoverEx into real tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/dbf_reader.h"
#include "support/fp7_builder.h"
#include "support/recovery_sandbox.h"

namespace {

// Table and record ids pushed as the database program pushes them.
constexpr fp7::IdForm kIds = fp7::IdForm::kAsWritten;

fp7::Table People(uint32_t id, size_t records) {
  fp7::Table table{id, "People" + std::to_string(id), false, {}, {}, {}};
  table.columns = {{1, "Name", {1, 1}, fp7::ColumnDefinition(1, 1)},
                   {2, "Born", {1, 3}, fp7::ColumnDefinition(1, 3)},
                   {3, "Amount", {1, 2}, fp7::ColumnDefinition(1, 2)},
                   {4, "Global", {1, 1}, fp7::ColumnDefinition(1, 1, 1)}};
  for (uint32_t r = 1; r <= records; ++r) {
    table.records.push_back({r,
                             {{1, "Person " + std::to_string(r)},
                              {2, std::to_string(r % 16 + 13) + "/11/2004"},
                              {3, std::to_string(r) + ",5"}}});
  }
  return table;
}

class DeepCrafted : public testing::Test {
 protected:
  DeepCrafted() { sandbox.UseOptions(DeepOptions(QRX_ENCODING_UTF8)); }

  DbfTable Recovered(const std::vector<uint8_t>& bytes, const std::string& table) {
    EXPECT_EQ(sandbox.Recover(bytes), QRX_OK) << sandbox.Log();
    return ReadDbf(sandbox.target() / (table + ".dbf"));
  }

  RecoverySandbox sandbox;
};

TEST_F(DeepCrafted, ColumnsAreTypedFromTheirDefinitionsAndGlobalsLeftOut) {
  const DbfTable table =
      Recovered(fp7::BuildDatabase({People(129, 3)}, fp7::kMaxPageData, kIds), "People129");
  EXPECT_EQ(table.names, (std::vector<std::string>{"Name", "Born", "Amount"}));
  EXPECT_EQ(table.types, "CDN");
  ASSERT_EQ(table.rows.size(), 3u);
  EXPECT_EQ(table.rows[0][0], "Person 1");
  EXPECT_EQ(table.rows[0][1], "20041114");
  EXPECT_EQ(table.rows[0][2].substr(table.rows[0][2].find_first_not_of(' ')), "1.5");
  EXPECT_EQ(table.declaredRows, 3u);
}

TEST_F(DeepCrafted, LongValuesInPiecesAndRecordsAcrossPagesComeBackWhole) {
  fp7::Table notes{129, "Notes", false, {{1, "Text", {1, 1}, fp7::ColumnDefinition(1, 1)}}, {}, {}};
  std::string longText;
  for (int i = 0; longText.size() < 5000; ++i) longText += "line " + std::to_string(i) + ". ";
  for (uint32_t r = 1; r <= 12; ++r) notes.records.push_back({r, {{1, longText}}});
  // Pages of 1500 bytes: every record, each of several pieces, is broken over pages.
  const DbfTable table = Recovered(fp7::BuildDatabase({notes}, 1500, kIds), "Notes");
  EXPECT_EQ(table.types, "M");
  ASSERT_EQ(table.rows.size(), 12u);
  for (const auto& row : table.rows) EXPECT_EQ(row[0], longText);
}

TEST_F(DeepCrafted, AnOldCopyOfAPageIsAConflictAndTheFirstValueStays) {
  std::vector<fp7::Bytes> pages = fp7::LayOutDatabase({People(129, 4)}, fp7::kMaxPageData, kIds);
  fp7::Table changed = People(129, 4);
  changed.records[1].fields[0].second = "Someone else";
  fp7::PageWriter old;
  old.UseIdForm(kIds);
  fp7::WriteRecords(old, changed);
  for (const fp7::Bytes& page : old.Pages()) pages.push_back(page);
  const DbfTable table = Recovered(fp7::MakeFile(pages), "People129");
  ASSERT_EQ(table.rows.size(), 4u);
  EXPECT_EQ(table.rows[1][0], "Person 2");
  EXPECT_NE(sandbox.Log().find("Record 2 of table 129: column 1 differs between pages"),
            std::string::npos);
}

TEST_F(DeepCrafted, ALostCatalogueLeavesTablesNamedByTheirIds) {
  fp7::Table people = People(130, 5);
  fp7::PageWriter out;
  out.UseIdForm(kIds);
  fp7::WriteRecords(out, people);  // no table list, no columns
  const DbfTable table = Recovered(fp7::MakeFile(out.Pages()), "Table_130");
  EXPECT_EQ(table.names, (std::vector<std::string>{"Field_1", "Field_2", "Field_3"}));
  EXPECT_EQ(table.rows.size(), 5u);
}

TEST_F(DeepCrafted, ADamagedPageCostsOnlyWhatLiesOnIt) {
  std::vector<fp7::Table> tables = {People(129, 40), People(130, 40), People(131, 40)};
  std::vector<fp7::Bytes> pages = fp7::LayOutDatabase(tables, 1000, kIds);
  // A bad opcode in the middle of a page of records of table 130 (its data area opens with the
  // pushes 28 80 02 and 20 05).
  size_t hit = 0;
  for (size_t p = 0; p < pages.size() && hit == 0; ++p) {
    const fp7::Bytes& area = pages[p];
    if (area.size() > 600 && area[0] == 0x28 && area[2] == 0x02 && area[4] == 0x05) hit = p;
  }
  ASSERT_NE(hit, 0u);
  pages[hit][300] = 0x7A;  // an opcode no page holds
  ASSERT_EQ(sandbox.Recover(fp7::MakeFile(pages)), QRX_OK);
  const auto tablesBack = ReadDbfFolder(sandbox.target());
  EXPECT_EQ(tablesBack.at("People129.dbf").rows.size(), 40u);
  EXPECT_EQ(tablesBack.at("People131.dbf").rows.size(), 40u);
  const size_t damaged = tablesBack.at("People130.dbf").rows.size();
  EXPECT_GT(damaged, 20u);
  EXPECT_LT(damaged, 40u);
  EXPECT_NE(sandbox.Log().find("damaged at byte"), std::string::npos);
}

TEST_F(DeepCrafted, AHundredTablesEachGetTheirOwnFile) {
  std::vector<fp7::Table> tables;
  for (uint32_t t = 0; t < 110; ++t) tables.push_back(People(129 + t, 3));
  ASSERT_EQ(sandbox.Recover(fp7::BuildDatabase(tables, fp7::kMaxPageData, kIds)), QRX_OK);
  const auto written = ReadDbfFolder(sandbox.target());
  ASSERT_EQ(written.size(), 110u);
  for (const auto& [name, table] : written) EXPECT_EQ(table.rows.size(), 3u) << name;
}

}  // namespace
