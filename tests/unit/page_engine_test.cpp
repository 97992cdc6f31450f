#include "engine/page_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <tuple>
#include <vector>

#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

CFMCEngine Fp5Engine() {
  return CFMCEngine(1024, 14, 4, /*countRequired=*/false);
}
CFMCEngine Fp7Engine() {
  return CFMCEngine(4096, 20, 2, /*countRequired=*/true);
}

class PageEngineTest : public ::testing::Test {
 protected:
  // Connects the engine to a new file of these bytes, through a connector of its own.
  void Connect(CFMCEngine& engine, const Bytes& bytes) {
    const std::filesystem::path file = dir / ("source" + std::to_string(sources.size()));
    WriteFileBytes(file, bytes);
    sources.push_back(std::make_unique<CFileConnector>());
    ASSERT_EQ(sources.back()->OpenSource(Utf16(file).c_str()), 0);
    ASSERT_TRUE(engine.Connect(sources.back().get()));
  }

  TempDir dir;
  std::filesystem::path path = dir / "source.db";
  std::vector<std::unique_ptr<CFileConnector>> sources;
};

TEST_F(PageEngineTest, CountsWholePagesOnly) {
  CFMCEngine fp5 = Fp5Engine();
  CFMCEngine fp7 = Fp7Engine();
  CFileConnector unopened;
  EXPECT_FALSE(fp5.Connect(nullptr));
  EXPECT_FALSE(fp5.Connect(&unopened));
  Connect(fp5, Bytes(10000, 0x11));
  Connect(fp7, Bytes(10000, 0x11));
  EXPECT_EQ(fp5.m_nPageCount, 9u);
  EXPECT_EQ(fp7.m_nPageCount, 2u);
  // A walk until IsEndOfFile visits pages 4 to 9; page 9 would hold the last 784 bytes.
  std::vector<bool> read;
  for (; !fp5.IsEndOfFile(); fp5.NextPage()) read.push_back(fp5.ReadPage());
  EXPECT_EQ(read, (std::vector<bool>{true, true, true, true, true, false}));
  EXPECT_FALSE(fp7.ReadPage());  // page 2 would hold the last 1808 bytes
  // A file smaller than a page has none, and a refused page leaves the buffer alone.
  CFMCEngine tiny = Fp5Engine();
  Connect(tiny, Bytes(1000, 0xC1));
  EXPECT_EQ(tiny.m_nPageCount, 0u);
  tiny.m_pPage[0] = 0x5A;
  EXPECT_FALSE(tiny.ReadPage());
  EXPECT_EQ(tiny.m_pPage[0], 0x5A);
}

// The count at offset 14, high byte first: fp5 takes 0 or a count not below the area (1010) as the
// whole area, fp7 refuses such a page. The next page starts zeroed, without lengths.
TEST_F(PageEngineTest, DerivesTheDataLengthFromTheCountAtOffset14) {
  const std::tuple<bool, uint16_t, bool, uint16_t> cases[] = {
      // fp7, count, read, length
      {false, 0x0000, true, 1010}, {false, 0x0001, true, 1009}, {false, 0x0100, true, 754},
      {false, 0x03F1, true, 1},    {false, 0x03F2, true, 1010}, {false, 0xFFFF, true, 1010},
      {true, 0x0000, false, 0},    {true, 0x0FEC, false, 0},    {true, 0x0FEB, true, 1},
      {true, 0x0100, true, 3820}};
  for (const auto& [fp7, count, read, length] : cases) {
    CFMCEngine engine = fp7 ? Fp7Engine() : Fp5Engine();
    const size_t page = fp7 ? 2 * 4096 : 4 * 1024;
    Bytes bytes(page + engine.m_nPageSize, 0);
    bytes[page + 14] = static_cast<uint8_t>(count >> 8);
    bytes[page + 15] = static_cast<uint8_t>(count);
    Connect(engine, bytes);
    EXPECT_EQ(engine.ReadPage(), read) << fp7 << " " << count;
    EXPECT_EQ(engine.m_nFreeBytes, count);
    EXPECT_EQ(engine.m_nDataLength, length);
    engine.NextPage();
    EXPECT_EQ(engine.m_nDataLength + engine.m_nFreeBytes, 0);
    EXPECT_TRUE(std::all_of(engine.m_pPage, engine.m_pPage + CFMCEngine::kPageBufferSize,
                            [](uint8_t b) { return b == 0; }));
  }
}

// A sparse 40 MiB file with marked pages on both sides of the first read-ahead run's end.
TEST_F(PageEngineTest, ReadsPagesBeyondTheFirstRunFromANewRunStartingThere) {
  constexpr uint32_t kPages = 40 * 1024;
  constexpr uint32_t kRunEnd = 4 + CFMCEngine::kCacheRunBytes / 1024;  // first page past the run
  const std::vector<uint32_t> marked = {32767, 32768, kRunEnd - 1, kRunEnd, kPages - 1};
  std::ofstream(path, std::ios::binary).close();
  std::filesystem::resize_file(path, uint64_t{kPages} * 1024);
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  for (uint32_t page : marked) {
    file.seekp(static_cast<std::streamoff>(page) * 1024 + 100);
    file.write(reinterpret_cast<const char*>(&page), sizeof page);
  }
  file.close();
  CFMCEngine engine = Fp5Engine();
  CFileConnector source;
  ASSERT_EQ(source.OpenSource(Utf16(path).c_str()), 0);
  ASSERT_TRUE(engine.Connect(&source));
  std::vector<uint32_t> found;
  for (; engine.ReadPage(); engine.NextPage()) {
    uint32_t mark = 0;
    std::memcpy(&mark, engine.m_pPage + 100, sizeof mark);
    if (mark != 0) found.push_back(mark);
    EXPECT_TRUE(mark == 0 || mark == engine.m_nCurrentPage) << mark;
    if (engine.m_nCurrentPage == kRunEnd - 1) {
      EXPECT_EQ(engine.m_nCacheFirstPage, 4u);
      EXPECT_EQ(engine.m_nCacheLastPage, kRunEnd - 1);
    }
  }
  EXPECT_EQ(found, marked);
  EXPECT_EQ(engine.m_nCacheFirstPage, kRunEnd);
  EXPECT_EQ(engine.m_nCacheLastPage, kPages - 1);
  EXPECT_EQ(engine.m_nCacheBytes, (kPages - kRunEnd) * 1024);
  // Going back to a page before the run loads a run from there.
  engine.m_nCurrentPage = 32768;
  ASSERT_TRUE(engine.ReadPage());
  EXPECT_EQ(engine.m_nCacheFirstPage, 32768u);
  EXPECT_EQ(engine.m_pPage[100], 32768 & 0xFF);
  EXPECT_EQ(engine.m_pPage[101], 32768 >> 8);
}

}  // namespace
