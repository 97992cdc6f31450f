// The fp7 parser in front of built files: a probe that opens its protected state, a fixture that
// attaches it to a file in a temporary folder with a log there, page helpers, and a reader of the
// dBase tables it writes.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "diag/log.h"
#include "engine/file_connector.h"
#include "parser8/fp7_parser.h"
#include "support/fp7_builder.h"
#include "support/temp_dir.h"

class Fp7ParserProbe : public CFMLogicParser8 {
 public:
  using CFMLogicParser8::m_ArrOfColumns;
  using CFMLogicParser8::m_ArrOfTables;
  using CFMLogicParser8::m_BinaryData;
  using CFMLogicParser8::m_bSingleTableLayout;
  using CFMLogicParser8::m_ColumnCatalogue;
  using CFMLogicParser8::m_DuplicateCounts;
  using CFMLogicParser8::m_dwTotalColumns;
  using CFMLogicParser8::m_dwTotalRecords;
  using CFMLogicParser8::m_dwUnknownColumns;
  using CFMLogicParser8::m_Engine;
  using CFMLogicParser8::m_PendingRecords;
  using CFMLogicParser8::ResetTable;
};

// A page that holds none of the paths the parser looks for.
inline fp7::Bytes Filler() {
  fp7::ChunkWriter page;
  page.Push(9).Push(9).Text(1, "filler").Pop(2);
  return page.bytes();
}

inline fp7::Table TableNamed(uint32_t id, const std::string& name, bool singleTableMarker = false) {
  fp7::Table table;
  table.id = id;
  table.name = name;
  table.singleTableMarker = singleTableMarker;
  return table;
}

class Fp7ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { g_Log.Open((dir / "qrx.log").string().c_str(), true); }
  void TearDown() override { g_Log.Close(); }

  void Open(const fp7::Bytes& file) {
    WriteFileBytes(dir / "db.fp7", file);
    ASSERT_EQ(source.OpenSource(Utf16(dir / "db.fp7").c_str()), 0);
    ASSERT_TRUE(parser.AttachSource(&source));
  }
  // The data areas become pages 2, 3, ...
  void OpenPages(const std::vector<fp7::Bytes>& pages) { Open(fp7::MakeFile(pages)); }
  std::string Log() const { return ReadFileText(dir / "qrx.log"); }
  bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

  TempDir dir;
  CFileConnector source;
  Fp7ParserProbe parser;
};

// A written dBase table: field names, types and widths, and the rows present in the file (memo
// fields resolved from the .dbt beside it), each field with its trailing blanks cut.
struct DbfTable {
  uint32_t declaredRows = 0;
  std::vector<std::string> names;
  std::string types;
  std::vector<unsigned> widths;
  std::vector<std::vector<std::string>> rows;
};

inline std::string MemoAt(const std::vector<unsigned char>& dbt, const std::string& pointer) {
  const size_t block = std::stoul(pointer);
  if (dbt.size() < block * 512 + 8) return "<missing memo>";
  const unsigned char* start = dbt.data() + block * 512;
  const uint32_t length = start[4] | start[5] << 8 | start[6] << 16 | uint32_t{start[7]} << 24;
  return std::string(reinterpret_cast<const char*>(start + 8), length - 8);
}

inline DbfTable ReadDbf(const std::filesystem::path& dbfPath) {
  const std::vector<unsigned char> dbf = ReadFileBytes(dbfPath);
  std::filesystem::path dbtPath = dbfPath;
  dbtPath.replace_extension(".dbt");
  const std::vector<unsigned char> dbt =
      std::filesystem::exists(dbtPath) ? ReadFileBytes(dbtPath) : std::vector<unsigned char>{};
  DbfTable table;
  if (dbf.size() < 33) return table;
  table.declaredRows = dbf[4] | dbf[5] << 8 | dbf[6] << 16 | uint32_t{dbf[7]} << 24;
  const size_t headerLength = dbf[8] | dbf[9] << 8;
  const size_t recordLength = dbf[10] | dbf[11] << 8;
  for (size_t at = 32; at + 32 <= headerLength && dbf[at] != 0x0D; at += 32) {
    table.names.emplace_back(reinterpret_cast<const char*>(&dbf[at]),
                             strnlen(reinterpret_cast<const char*>(&dbf[at]), 11));
    table.types += static_cast<char>(dbf[at + 11]);
    table.widths.push_back(dbf[at + 16]);
  }
  for (size_t at = headerLength; recordLength > 0 && at + recordLength <= dbf.size();
       at += recordLength) {
    std::vector<std::string> row;
    size_t field = at + 1;
    for (size_t i = 0; i < table.widths.size(); ++i) {
      std::string value(reinterpret_cast<const char*>(&dbf[field]), table.widths[i]);
      value.erase(value.find_last_not_of(' ') + 1);
      if (table.types[i] == 'M' && !value.empty()) value = MemoAt(dbt, value);
      row.push_back(value);
      field += table.widths[i];
    }
    table.rows.push_back(row);
  }
  return table;
}
