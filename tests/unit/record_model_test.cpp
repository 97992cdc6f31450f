#include "parser/record_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "platform/heap.h"

namespace {

std::unique_ptr<CDataOfField> Field(uint32_t columnId, const char* text) {
  std::unique_ptr<CDataOfField> field(new CDataOfField);
  field->m_dwID = columnId;
  EXPECT_TRUE(field->SetText(text, std::strlen(text)));
  field->m_dwLength = static_cast<uint32_t>(std::strlen(text));
  return field;
}

TEST(RecordModelTest, TextsAreOwnedCopiesReleasedThroughTheBase) {
  const char source[] = {'a', 'b', 'c', 'd'};
  CBaseInfo* column = new CColumnInfo;
  ASSERT_TRUE(column->SetText(source, 3));
  EXPECT_STREQ(column->m_szText, "abc");
  EXPECT_NE(column->m_szText, source);
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
  pending[7].m_Fields.push_back(Field(1, "one"));
  pending[7].m_Fields.push_back(Field(1, "again"));  // a second value for one column is kept
  TableData table;
  table.push_back(std::move(pending[7]));
  pending.erase(7);
  CRowOfTable moved = std::move(table.front());  // leaves an empty row behind, not a copy
  table.push_back(std::move(moved));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_TRUE(table[0].m_Fields.empty());
  EXPECT_EQ(table[1].m_dwKey, 7u);
  ASSERT_EQ(table[1].m_Fields.size(), 2u);
  EXPECT_STREQ(table[1].m_Fields[1]->m_szText, "again");
  table.clear();  // every value released once; the sanitizer build watches for leaks
}

TEST(RecordModelTest, ColumnTypesAndTheirFieldLetters) {
  std::string letters;
  for (uint8_t fp5Type = 0; fp5Type <= 9; ++fp5Type) {
    letters += ColumnTypeToDbf(Fp5TypeToColumnType(fp5Type));
  }
  EXPECT_EQ(letters, "CCNDCCNNCC");
  EXPECT_EQ(Fp5TypeToColumnType(4), kColumnTextKind4);  // apart from 1, though written as text
  EXPECT_EQ(ColumnTypeToDbf(kColumnMemo), 'M');
}

}  // namespace
