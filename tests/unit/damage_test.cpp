#include "support/damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "engine/fp5_engine.h"
#include "support/fp5_builder.h"
#include "support/temp_dir.h"

namespace {

using damage::Bytes;

constexpr damage::PagedLayout kLayout{16, 8};

// A start of 8 bytes 0xEE, then 5 pages of 16 bytes, each filled with its page number.
Bytes PagedFile() {
  Bytes file(8, 0xEE);
  for (uint8_t page = 0; page < 5; ++page) file.insert(file.end(), 16, page);
  return file;
}

std::vector<Bytes> Pages(const Bytes& file) {
  std::vector<Bytes> pages;
  for (size_t at = kLayout.startSize; at + kLayout.pageSize <= file.size();
       at += kLayout.pageSize) {
    pages.emplace_back(file.begin() + static_cast<ptrdiff_t>(at),
                       file.begin() + static_cast<ptrdiff_t>(at + kLayout.pageSize));
  }
  return pages;
}

bool StartIntact(const Bytes& file) {
  return std::all_of(file.begin(), file.begin() + 8, [](uint8_t b) { return b == 0xEE; });
}

TEST(Damage, PageHelpersTouchOnlyTheirPage) {
  Bytes zeroed = PagedFile();
  damage::ZeroPage(zeroed, kLayout, 2);
  damage::ZeroPage(zeroed, kLayout, 9);  // past the end: nothing
  Bytes noisy = PagedFile();
  damage::NoisePage(noisy, kLayout, 0, 7);
  const std::vector<Bytes> before = Pages(PagedFile());
  for (size_t page = 0; page < 5; ++page) {
    EXPECT_EQ(Pages(zeroed)[page], page == 2 ? Bytes(16, 0) : before[page]);
    EXPECT_EQ(Pages(noisy)[page] == before[page], page != 0);
  }
  EXPECT_TRUE(StartIntact(zeroed) && StartIntact(noisy));
  EXPECT_EQ(zeroed.size(), PagedFile().size());
}

TEST(Damage, RandomDamageRepeatsWithItsSeed) {
  auto flipped = [](uint64_t seed) {
    Bytes file = PagedFile();
    damage::FlipBytes(file, kLayout, 10, seed);
    return file;
  };
  auto shuffled = [](uint64_t seed) {
    Bytes file = PagedFile();
    damage::ShufflePages(file, kLayout, seed);
    return file;
  };
  EXPECT_EQ(flipped(1), flipped(1));
  EXPECT_NE(flipped(1), flipped(2));
  EXPECT_EQ(shuffled(1), shuffled(1));

  const Bytes flips = flipped(3);
  const Bytes intact = PagedFile();
  const auto changed = std::inner_product(flips.begin(), flips.end(), intact.begin(), size_t{0},
                                          std::plus<>(), std::not_equal_to<>());
  EXPECT_GE(changed, 1u);
  EXPECT_LE(changed, 10u);
  EXPECT_TRUE(StartIntact(flips));

  // A shuffle keeps every page and the start.
  const Bytes order = shuffled(5);
  const std::vector<Bytes> pages = Pages(order);
  const std::vector<Bytes> original = Pages(PagedFile());
  EXPECT_TRUE(std::is_permutation(pages.begin(), pages.end(), original.begin(), original.end()));
  EXPECT_NE(pages, original);
  EXPECT_TRUE(StartIntact(order));
}

TEST(Damage, TruncatesFilesOnDisk) {
  TempDir dir;
  WriteFileBytes(dir / "f", PagedFile());
  damage::DamageFile(dir / "f", [](Bytes& file) { damage::Truncate(file, 30); });
  const Bytes intact = PagedFile();
  EXPECT_EQ(ReadFileBytes(dir / "f"), Bytes(intact.begin(), intact.begin() + 30));
  EXPECT_EQ(damage::PageCount(ReadFileBytes(dir / "f"), kLayout), 1u);
}

// The scan survives every kind of damage, and a zeroed page costs only the records on it.
TEST(Damage, Fp5ScanSurvivesDamageAndLosesOnlyTheDamagedPage) {
  using namespace fp5build;
  Fp5FileBuilder builder;
  builder.AddDefinitions({}, {{1, "Name"}});
  std::vector<Fp5Record> records;
  for (uint16_t id = 1; id <= 200; ++id) {
    records.push_back(
        {Fp5Id::Auto(id), {Fp5Field::Value(1, "value of record " + std::to_string(id))}});
  }
  builder.AddRecords(records);
  const damage::PagedLayout fp5{kPageSize, kStartSize};

  auto valuesAfter = [](const Bytes& file) {
    TempDir dir;
    WriteFileBytes(dir / "db.fp5", file);
    CFileConnector source;
    CFM5 engine;
    if (source.OpenSource(Utf16(dir / "db.fp5").c_str()) != 0 || !engine.Connect(&source))
      return size_t{0};
    while (!engine.IsEndOfFile()) {
      engine.ReadPage();
      engine.ParsePage();
      engine.NextPage();
    }
    return engine.GetFieldItems().size() - 1;
  };
  const Bytes intact = builder.Build();
  ASSERT_EQ(valuesAfter(intact), 200u);

  Bytes zeroed = intact;
  damage::ZeroPage(zeroed, fp5, 2);
  const size_t lost = 200 - valuesAfter(zeroed);
  EXPECT_GT(lost, 0u);
  EXPECT_LT(lost, 50u);

  for (uint64_t seed = 1; seed <= 20; ++seed) {
    Bytes file = intact;
    damage::NoisePage(file, fp5, seed % damage::PageCount(file, fp5), seed);
    damage::FlipBytes(file, fp5, 40, seed);
    damage::ShufflePages(file, fp5, seed);
    damage::Truncate(file, file.size() - seed * 37);
    valuesAfter(file);  // must end without a fault (the sanitizer build checks)
  }
}

}  // namespace
