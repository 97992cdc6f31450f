#include "support/damage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

// The start, then each page.
std::vector<Bytes> Parts(const Bytes& file) {
  std::vector<Bytes> parts = {Bytes(file.begin(), file.begin() + 8)};
  for (size_t at = 8; at + 16 <= file.size(); at += 16)
    parts.emplace_back(file.begin() + static_cast<ptrdiff_t>(at),
                       file.begin() + static_cast<ptrdiff_t>(at + 16));
  return parts;
}

TEST(Damage, PageHelpersTouchOnlyTheirPage) {
  Bytes zeroed = PagedFile();
  damage::ZeroPage(zeroed, kLayout, 2);
  damage::ZeroPage(zeroed, kLayout, 9);  // past the end: nothing
  Bytes noisy = PagedFile();
  damage::NoisePage(noisy, kLayout, 0, 7);
  const std::vector<Bytes> before = Parts(PagedFile());
  ASSERT_EQ(zeroed.size(), PagedFile().size());
  for (size_t part = 0; part < before.size(); ++part) {
    EXPECT_EQ(Parts(zeroed)[part], part == 3 ? Bytes(16, 0) : before[part]) << part;
    EXPECT_EQ(Parts(noisy)[part] == before[part], part != 1) << part;
  }
}

TEST(Damage, RandomDamageRepeatsWithItsSeedAndSparesTheStart) {
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
  const Bytes intact = PagedFile();
  const Bytes flips = flipped(3);
  size_t changed = 0;
  for (size_t i = 0; i < intact.size(); ++i) changed += flips[i] != intact[i];
  EXPECT_GE(changed, 1u);
  EXPECT_LE(changed, 10u);
  EXPECT_EQ(Parts(flips)[0], Parts(intact)[0]);
  // A shuffle keeps the start and every page, in another order.
  std::vector<Bytes> pages = Parts(shuffled(5));
  const std::vector<Bytes> original = Parts(intact);
  EXPECT_NE(pages, original);
  EXPECT_EQ(pages[0], original[0]);
  EXPECT_TRUE(std::is_permutation(pages.begin(), pages.end(), original.begin(), original.end()));
}

TEST(Damage, TruncatesFilesOnDisk) {
  TempDir dir;
  WriteFileBytes(dir / "f", PagedFile());
  damage::DamageFile(dir / "f", [](Bytes& file) { damage::Truncate(file, 30); });
  const Bytes intact = PagedFile();
  EXPECT_EQ(ReadFileBytes(dir / "f"), Bytes(intact.begin(), intact.begin() + 30));
  EXPECT_EQ(damage::PageCount(ReadFileBytes(dir / "f"), kLayout), 1u);
}

}  // namespace
