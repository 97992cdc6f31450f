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
#include "support/dbf_reader.h"
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
