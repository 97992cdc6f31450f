#include "parser/record_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "platform/heap.h"

namespace {

TEST(RecordModelTest, TextsAreOwnedCopiesReleasedThroughTheBase) {
  const char source[] = {'a', 'b', 'c', 'd'};
  CBaseInfo* column = new CColumnInfo;
  ASSERT_TRUE(column->SetText(source, 3));
  EXPECT_STREQ(column->m_szText, "abc");
  ASSERT_TRUE(column->SetText("name", 4));  // the earlier text is released
  EXPECT_STREQ(column->m_szText, "name");
  delete column;
  delete static_cast<CBaseInfo*>(new CDataOfField);  // a null text is fine
  delete new CBinaryDataInfo;
}

TEST(RecordModelTest, RecordsAndTextsFailWithoutMemoryInsteadOfThrowing) {
  CColumnInfo column;
  ASSERT_TRUE(column.SetText("old", 3));
  qrx::heap::ResetCounting(1);
  EXPECT_FALSE(column.SetText("new", 3));
  EXPECT_EQ(column.m_szText, nullptr);
  EXPECT_EQ(new CDataOfField, nullptr);
  EXPECT_EQ(new CWasData, nullptr);
  qrx::heap::ResetCounting();
}

TEST(RecordModelTest, RowsMovedBetweenContainersKeepTheirValues) {
  std::map<uint32_t, CRowOfTable> pending;
  pending[7].m_dwKey = 7;
  for (const char* text : {"one", "again"}) {  // a second value for one column is kept
    pending[7].m_Fields.emplace_back(new CDataOfField)->SetText(text, std::strlen(text));
  }
  TableData table;
  table.push_back(std::move(pending[7]));
  pending.erase(7);
  ASSERT_EQ(table[0].m_Fields.size(), 2u);
  EXPECT_STREQ(table[0].m_Fields[1]->m_szText, "again");
  table.clear();  // every value released once; the sanitizer build watches for leaks
}

TEST(RecordModelTest, Fp5ColumnTypesAndTheirFieldLetters) {
  std::string letters;
  for (uint8_t type = 0; type <= 9; ++type) letters += ColumnTypeToDbf(Fp5TypeToColumnType(type));
  EXPECT_EQ(letters, "CCNDCCNNCC");
  EXPECT_EQ(ColumnTypeToDbf(kColumnMemo), 'M');
}

}  // namespace
