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

// PagedFile() after `damage` with `seed`.
template <class Damage>
Bytes After(Damage damage, uint64_t seed) {
  Bytes file = PagedFile();
  damage(file, kLayout, seed);
  return file;
}

TEST(Damage, RandomDamageRepeatsWithItsSeedAndSparesTheStart) {
  const auto flip = [](Bytes& f, const damage::PagedLayout& l, uint64_t seed) {
    damage::FlipBytes(f, l, 10, seed);
  };
  EXPECT_EQ(After(flip, 1), After(flip, 1));
  EXPECT_NE(After(flip, 1), After(flip, 2));
  EXPECT_EQ(After(damage::ShufflePages, 1), After(damage::ShufflePages, 1));
  const std::vector<Bytes> original = Parts(PagedFile());
  const std::vector<Bytes> flipped = Parts(After(flip, 3));
  EXPECT_EQ(flipped[0], original[0]);
  size_t changed = 0;
  for (size_t part = 1; part < original.size(); ++part)
    for (size_t i = 0; i < 16; ++i) changed += flipped[part][i] != original[part][i];
  EXPECT_TRUE(changed >= 1 && changed <= 10) << changed;
  // A shuffle keeps the start and every page, in another order.
  const std::vector<Bytes> shuffled = Parts(After(damage::ShufflePages, 5));
  EXPECT_NE(shuffled, original);
  EXPECT_EQ(shuffled[0], original[0]);
  EXPECT_TRUE(std::is_permutation(shuffled.begin(), shuffled.end(), original.begin()));
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
