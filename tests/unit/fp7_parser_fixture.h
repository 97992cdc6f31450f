// The fp7 parser in front of built files: a probe that opens its protected state, page helpers,
// and a fixture that attaches parsers to files in a temporary folder with a log there.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <list>
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
  using CFMLogicParser8::m_ArrOfColumns, CFMLogicParser8::m_ArrOfTables,
      CFMLogicParser8::m_BinaryData, CFMLogicParser8::m_bSingleTableLayout,
      CFMLogicParser8::m_ColumnCatalogue, CFMLogicParser8::m_DuplicateCounts,
      CFMLogicParser8::m_dwTotalColumns, CFMLogicParser8::m_dwTotalRecords,
      CFMLogicParser8::m_Engine, CFMLogicParser8::m_PendingRecords, CFMLogicParser8::ResetTable;
};

// A page that holds none of the paths the parser looks for.
inline fp7::Bytes Filler() {
  return fp7::ChunkWriter().Push(9).Push(9).Text(1, "filler").Pop(2).bytes();
}

inline fp7::Table TableNamed(uint32_t id, const std::string& name, bool singleTableMarker = false) {
  fp7::Table table;
  table.id = id;
  table.name = name;
  table.singleTableMarker = singleTableMarker;
  return table;
}

// A page that opens `path`, lets `body` write into it and closes it, with a value behind (a path
// completed by a page's last chunk is not found).
inline fp7::Bytes PageUnder(std::initializer_list<uint32_t> path,
                            const std::function<void(fp7::ChunkWriter&)>& body) {
  fp7::ChunkWriter page;
  for (const uint32_t id : path) page.Push(id);
  body(page);
  return page.Pop(path.size()).Text(1, "behind").bytes();
}

class Fp7ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { g_Log.Open((dir / "qrx.log").string().c_str(), true); }
  void TearDown() override { g_Log.Close(); }

  // Attaches `parser` to the file the first time, a parser of its own (returned) every later time.
  Fp7ParserProbe& Open(const fp7::Bytes& file) {
    const auto path = dir / ("db" + std::to_string(sources.size()) + ".fp7");
    WriteFileBytes(path, file);
    Fp7ParserProbe& probe = sources.empty() ? parser : others.emplace_back();
    EXPECT_EQ(sources.emplace_back().OpenSource(Utf16(path).c_str()), 0);
    EXPECT_TRUE(probe.AttachSource(&sources.back()));
    return probe;
  }
  // The data areas become pages 2, 3, ...
  Fp7ParserProbe& OpenPages(const std::vector<fp7::Bytes>& pages) {
    return Open(fp7::MakeFile(pages));
  }

  TempDir dir;
  std::list<CFileConnector> sources;
  Fp7ParserProbe parser;
  std::list<Fp7ParserProbe> others;
};
