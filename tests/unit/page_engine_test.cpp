#include "engine/page_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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
  // Connects the engine to a file of these bytes.
  void Connect(CFMCEngine& engine, const Bytes& bytes) {
    WriteFileBytes(path, bytes);
    ASSERT_EQ(source.OpenSource(Utf16(path).c_str()), 0);
    ASSERT_TRUE(engine.Connect(&source));
  }

  TempDir dir;
  std::filesystem::path path = dir / "source.db";
  CFileConnector source;
};

TEST_F(PageEngineTest, CountsWholePagesOnly) {
  CFMCEngine fp5 = Fp5Engine();
  CFMCEngine fp7 = Fp7Engine();
  Bytes bytes(10000, 0x11);
  Connect(fp5, bytes);
  ASSERT_TRUE(fp7.Connect(&source));
  EXPECT_EQ(fp5.m_nPageCount, 9u);
  EXPECT_EQ(fp7.m_nPageCount, 2u);

  // A walk until IsEndOfFile visits pages 4 to 9; page 9 would hold the last 784 bytes and is
  // refused.
  std::vector<bool> read;
  while (!fp5.IsEndOfFile()) {
    read.push_back(fp5.ReadPage());
    fp5.NextPage();
  }
  EXPECT_EQ(read, (std::vector<bool>{true, true, true, true, true, false}));
  EXPECT_FALSE(fp7.ReadPage());  // page 2 would hold the last 1808 bytes
}

TEST_F(PageEngineTest, FindsNoPageInAFileSmallerThanAPage) {
  CFMCEngine engine = Fp5Engine();
  Connect(engine, Bytes(1000, 0xC1));
  EXPECT_EQ(engine.m_nPageCount, 0u);
  engine.m_pPage[0] = 0x5A;
  for (uint32_t page : {0u, 4u}) {
    engine.m_nCurrentPage = page;
    EXPECT_FALSE(engine.ReadPage());
  }
  EXPECT_EQ(engine.m_pPage[0], 0x5A);  // a refused page leaves the buffer alone
}

TEST_F(PageEngineTest, RefusesAbsentOrUnopenedSources) {
  CFMCEngine engine = Fp5Engine();
  EXPECT_FALSE(engine.Connect(nullptr));
  EXPECT_FALSE(engine.Connect(&source));
  WriteFileBytes(path, {});
  EXPECT_EQ(source.OpenSource(Utf16(path).c_str()), -3);
  EXPECT_FALSE(engine.Connect(&source));
}

// The count at offset 14, high byte first: fp5 takes 0 or a count not below the area (1010) as the
// whole area, fp7 refuses such a page.
TEST_F(PageEngineTest, DerivesTheDataLengthFromTheCountAtOffset14) {
  struct Case {
    bool fp7;
    unsigned char high, low;
    bool read;
    uint16_t length;
  };
  const Case cases[] = {
      {false, 0x00, 0x00, true, 1010}, {false, 0x00, 0x01, true, 1009},
      {false, 0x01, 0x00, true, 754},  {false, 0x03, 0xF1, true, 1},
      {false, 0x03, 0xF2, true, 1010}, {false, 0xFF, 0xFF, true, 1010},
      {true, 0x00, 0x00, false, 0},    {true, 0x0F, 0xEC, false, 0},
      {true, 0x0F, 0xEB, true, 1},     {true, 0x01, 0x00, true, 3820},
  };
  for (const Case& c : cases) {
    CFileConnector fresh;
    CFMCEngine engine = c.fp7 ? Fp7Engine() : Fp5Engine();
    const size_t pageSize = c.fp7 ? 4096 : 1024;
    const size_t first = c.fp7 ? 2 : 4;
    Bytes bytes(pageSize * (first + 1), 0);
    bytes[first * pageSize + 14] = c.high;
    bytes[first * pageSize + 15] = c.low;
    WriteFileBytes(path, bytes);
    ASSERT_EQ(fresh.OpenSource(Utf16(path).c_str()), 0);
    ASSERT_TRUE(engine.Connect(&fresh));
    EXPECT_EQ(engine.ReadPage(), c.read) << c.fp7 << " " << int{c.high} << " " << int{c.low};
    EXPECT_EQ(engine.m_nFreeBytes, (c.high << 8) | c.low);
    EXPECT_EQ(engine.m_nDataLength, c.length);
  }
}

TEST_F(PageEngineTest, NextPageZeroesThePageAndClearsTheLengths) {
  CFMCEngine engine = Fp5Engine();
  Connect(engine, Bytes(1024 * 6, 0x22));
  ASSERT_TRUE(engine.ReadPage());
  engine.NextPage();
  EXPECT_EQ(engine.m_nCurrentPage, 5u);
  EXPECT_EQ(engine.m_nDataLength, 0);
  EXPECT_EQ(engine.m_nFreeBytes, 0);
  EXPECT_TRUE(std::all_of(engine.m_pPage, engine.m_pPage + CFMCEngine::kPageBufferSize,
                          [](uint8_t b) { return b == 0; }));
}

// A sparse 40 MiB file with marked pages on both sides of the first read-ahead run's end.
TEST_F(PageEngineTest, ReadsPagesBeyondTheFirstRunFromANewRunStartingThere) {
  constexpr uint32_t kPages = 40 * 1024;
  constexpr uint32_t kRunPages = CFMCEngine::kCacheRunBytes / 1024;
  const std::vector<uint32_t> marked = {32767, 32768, 4 + kRunPages - 1, 4 + kRunPages, kPages - 1};
  { std::ofstream create(path, std::ios::binary); }
  std::filesystem::resize_file(path, uint64_t{kPages} * 1024);
  {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    for (uint32_t page : marked) {
      file.seekp(static_cast<std::streamoff>(page) * 1024 + 100);
      file.write(reinterpret_cast<const char*>(&page), sizeof page);
    }
  }
  CFMCEngine engine = Fp5Engine();
  ASSERT_EQ(source.OpenSource(Utf16(path).c_str()), 0);
  ASSERT_TRUE(engine.Connect(&source));

  std::vector<uint32_t> found;
  while (engine.ReadPage()) {
    uint32_t mark = 0;
    std::copy_n(engine.m_pPage + 100, sizeof mark, reinterpret_cast<uint8_t*>(&mark));
    if (mark != 0) {
      EXPECT_EQ(mark, engine.m_nCurrentPage);
      found.push_back(mark);
    }
    if (engine.m_nCurrentPage == 4 + kRunPages - 1) {
      EXPECT_EQ(engine.m_nCacheFirstPage, 4u);
      EXPECT_EQ(engine.m_nCacheLastPage, 4 + kRunPages - 1);
    }
    engine.NextPage();
  }
  EXPECT_EQ(found, marked);
  EXPECT_EQ(engine.m_nCacheFirstPage, 4 + kRunPages);
  EXPECT_EQ(engine.m_nCacheLastPage, kPages - 1);
  EXPECT_EQ(engine.m_nCacheBytes, (kPages - 4 - kRunPages) * 1024);

  // Going back to a page before the run loads a run from there.
  engine.m_nCurrentPage = 32768;
  ASSERT_TRUE(engine.ReadPage());
  EXPECT_EQ(engine.m_nCacheFirstPage, 32768u);
  EXPECT_EQ(engine.m_pPage[100], 32768 & 0xFF);
  EXPECT_EQ(engine.m_pPage[101], 32768 >> 8);
}

}  // namespace
