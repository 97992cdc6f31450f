// The damage campaign: small fp5 and fp7 databases are damaged in every way the damage helpers
// know, at several strengths and places, and each variant is recovered through FileRecover. Every
// run must end with a documented code, in bounded time, with nothing written outside its target
// folder; where only pages without records were hit, every record of the intact file must come
// back with its values.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/damage.h"
#include "support/dbf_reader.h"
#include "support/paged_databases.h"
#include "support/real_samples.h"
#include "support/recovery_sandbox.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Tables = std::map<std::string, DbfTable>;

// The page header of both formats lies within the first 20 bytes (14 for fp5).
constexpr size_t kPageHeaderBytes = 20;

struct Variant {
  std::string label;
  Bytes bytes;
  bool keepsRecords = false;  // every record of the intact file must be recovered
};

bool SamePage(const Bytes& a, const Bytes& b, const damage::PagedLayout& layout, size_t page) {
  const size_t from = layout.startSize + page * layout.pageSize;
  const size_t to = from + layout.pageSize;
  return a.size() >= to && b.size() >= to &&
         std::equal(a.begin() + from, a.begin() + to, b.begin() + from);
}

// Whether the fp7 page walk reads `page` of `file`: it is there and its count of unused bytes
// (offset 14, high byte first) is neither 0 nor beyond the page. The walk ends at the first page
// it cannot read.
bool Fp7Readable(const Bytes& file, size_t page) {
  const size_t at = 8192 + page * 4096 + 14;
  if (at + 2 > file.size() || 8192 + (page + 1) * 4096 > file.size()) return false;
  const unsigned count = file[at] * 256u + file[at + 1];
  return count != 0 && count < 4076;
}

// Whether the records survive: every damaged page is idle, and for fp7 every page with facts lies
// before the first page the walk cannot read.
bool KeepsRecords(const PagedDatabase& db, const Bytes& damaged, bool fp7) {
  for (size_t page = 0; page < db.PageCount(); ++page) {
    if (db.holdsFacts[page] && !SamePage(db.bytes, damaged, db.layout, page)) return false;
  }
  if (!fp7) return true;
  size_t lastFacts = 0;
  for (size_t page = 0; page < db.PageCount(); ++page) {
    if (db.holdsFacts[page]) lastFacts = page;
  }
  for (size_t page = 0; page <= lastFacts; ++page) {
    if (!Fp7Readable(damaged, page)) return false;
  }
  return true;
}

// Whether the intact file's first page with facts still comes before all its other pages with
// facts in the shuffled file.
bool FirstFactsPageStaysFirst(const PagedDatabase& db, const Bytes& shuffled) {
  const auto placeOf = [&](size_t page) {
    for (size_t place = 0; place < db.PageCount(); ++place) {
      const size_t from = db.layout.startSize;
      if (std::equal(db.bytes.begin() + from + page * db.layout.pageSize,
                     db.bytes.begin() + from + (page + 1) * db.layout.pageSize,
                     shuffled.begin() + from + place * db.layout.pageSize)) {
        return place;
      }
    }
    return db.PageCount();
  };
  const size_t first =
      std::find(db.holdsFacts.begin(), db.holdsFacts.end(), true) - db.holdsFacts.begin();
  for (size_t page = first + 1; page < db.PageCount(); ++page) {
    if (db.holdsFacts[page] && placeOf(page) < placeOf(first)) return false;
  }
  return true;
}

std::vector<Variant> Variants(const PagedDatabase& db, bool fp7) {
  std::vector<Variant> variants;
  const auto add = [&](std::string label, const std::function<void(Bytes&)>& damage) {
    Bytes bytes = db.bytes;
    damage(bytes);
    const bool keeps = KeepsRecords(db, bytes, fp7);
    variants.push_back({std::move(label), std::move(bytes), keeps});
  };
  const damage::PagedLayout& layout = db.layout;
  for (size_t page = 0; page < db.PageCount(); ++page) {
    const std::string at = " page " + std::to_string(page);
    add("zeroed" + at, [&](Bytes& b) { damage::ZeroPage(b, layout, page); });
    for (uint64_t seed : {1, 2}) {
      add("noise " + std::to_string(seed) + at,
          [&](Bytes& b) { damage::NoisePage(b, layout, page, seed); });
    }
    // Noise behind an intact page header: the page stays readable and decodes as far as it can.
    add("noise behind the header" + at, [&](Bytes& b) {
      const auto header = b.begin() + layout.startSize + page * layout.pageSize;
      const Bytes kept(header, header + kPageHeaderBytes);
      damage::NoisePage(b, layout, page, page);
      std::copy(kept.begin(), kept.end(), header);
    });
    for (size_t count : {1, 4, 32}) {
      add(std::to_string(count) + " flips in" + at,
          [&](Bytes& b) { damage::FlipBytesInPage(b, layout, page, count, page + count); });
    }
  }
  for (size_t count : {1, 8, 64, 512}) {
    for (uint64_t seed : {11, 12, 13}) {
      add(std::to_string(count) + " flips, seed " + std::to_string(seed),
          [&](Bytes& b) { damage::FlipBytes(b, layout, count, seed); });
    }
  }
  for (size_t size = 0; size <= db.bytes.size(); size += layout.pageSize) {
    for (size_t cut : {size, size + layout.pageSize / 2}) {
      add("cut at " + std::to_string(cut), [&](Bytes& b) { damage::Truncate(b, cut); });
    }
  }
  for (uint64_t seed : {21, 22, 23, 24, 25, 26}) {
    // Every page is still there, only elsewhere. The fp7 walks read every page in any order; the
    // fp5 scan takes record data only once it has met the column definitions.
    Bytes bytes = db.bytes;
    damage::ShufflePages(bytes, layout, seed);
    const bool keeps = fp7 || FirstFactsPageStaysFirst(db, bytes);
    variants.push_back({"shuffled, seed " + std::to_string(seed), std::move(bytes), keeps});
  }
  return variants;
}

// Baseline rows missing from `recovered`: a row counts as present when a row of the same table
// holds the same value under every field name of the baseline.
size_t MissingRows(const Tables& baseline, const Tables& recovered) {
  size_t missing = 0;
  for (const auto& [name, table] : baseline) {
    const auto found = recovered.find(name);
    for (const auto& row : table.rows) {
      bool present = false;
      for (size_t r = 0; found != recovered.end() && r < found->second.rows.size() && !present;
           ++r) {
        const DbfTable& other = found->second;
        present = true;
        for (size_t i = 0; i < table.names.size() && present; ++i) {
          const auto column = std::find(other.names.begin(), other.names.end(), table.names[i]);
          present =
              column != other.names.end() && other.rows[r][column - other.names.begin()] == row[i];
        }
      }
      missing += present ? 0 : 1;
    }
  }
  return missing;
}

// Recovers a damaged file and checks what every run must give: a documented code, in bounded
// time, with nothing written outside the target folder, no temporary file left, and tables whose
// headers count the records they hold.
int32_t RecoverDamaged(RecoverySandbox& sandbox, const Bytes& bytes) {
  const auto start = std::chrono::steady_clock::now();
  const int32_t result = sandbox.Recover(bytes);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  EXPECT_TRUE(IsDocumentedResult(result)) << result;
  // A hang guard, far above what a run takes: 10 s and 1 s more per 64 KiB.
  EXPECT_LT(seconds.count(), 10.0 + bytes.size() / 65536.0);
  EXPECT_EQ(sandbox.Strays(), std::vector<std::filesystem::path>{});
  for (const std::string& name : sandbox.Outputs()) {
    EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
  }
  for (const auto& [name, table] : ReadDbfFolder(sandbox.target())) {
    EXPECT_EQ(table.declaredRows, table.rows.size()) << name;
  }
  return result;
}

// Runs the campaign over one database and reports the runs in which the records had to survive.
void RunCampaign(const PagedDatabase& db, bool fp7, const char* format) {
  RecoverySandbox sandbox;
  ASSERT_EQ(sandbox.Recover(db.bytes), QRX_OK);
  const Tables baseline = ReadDbfFolder(sandbox.target());
  size_t rows = 0;
  for (const auto& [name, table] : baseline) rows += table.rows.size();
  ASSERT_EQ(rows, db.recordCount);

  size_t keeping = 0;
  size_t replacements = 0;
  std::set<std::string> replaced;
  static const std::string kReplaces = " replaces ";
  const std::vector<Variant> variants = Variants(db, fp7);
  for (const Variant& variant : variants) {
    SCOPED_TRACE(std::string(format) + ", " + variant.label);
    const int32_t result = RecoverDamaged(sandbox, variant.bytes);
    const std::string log = sandbox.Log();
    for (size_t at = log.find(kReplaces); at != std::string::npos;
         at = log.find(kReplaces, at + 1)) {
      const size_t end = log.find('\n', at);
      replaced.insert(std::filesystem::path(log.substr(at, end - at)).filename().string());
      ++replacements;
    }
    if (variant.keepsRecords) {
      ++keeping;
      EXPECT_EQ(result, QRX_OK);
      EXPECT_EQ(MissingRows(baseline, ReadDbfFolder(sandbox.target())), 0u);
    }
  }
  std::string names;
  for (const std::string& name : replaced) names += " " + name;
  std::printf(
      "[ campaign ] %s: %zu variants, %zu had to keep every record; %zu times a container "
      "file replaced another output:%s\n",
      format, variants.size(), keeping, replacements, names.c_str());
  EXPECT_GT(keeping, variants.size() / 4);
}

TEST(DamageCampaign, Fp5) {
  RunCampaign(Fp5WithIdlePages(), false, "fp5");
}

TEST(DamageCampaign, Fp7) {
  RunCampaign(Fp7WithIdlePages(), true, "fp7");
}

// The real databases, when at hand, damaged in each way once: the same promises hold for files
// the database program wrote.
TEST(DamageCampaign, RealSamples) {
  QRX_REAL_SAMPLE_OR_SKIP(samples, "");
  const std::map<std::string, damage::PagedLayout> layouts = {{"fp5", {1024, 4096}},
                                                              {"fp7", {4096, 8192}}};
  RecoverySandbox sandbox;
  for (const auto& [format, layout] : layouts) {
    for (const auto& sample : std::filesystem::directory_iterator(samples / format)) {
      const Bytes intact = ReadFileBytes(sample.path());
      const size_t pages = damage::PageCount(intact, layout);
      const std::vector<std::pair<std::string, std::function<void(Bytes&)>>> damages = {
          {"zeroed", [&](Bytes& b) { damage::ZeroPage(b, layout, pages / 4); }},
          {"noise", [&](Bytes& b) { damage::NoisePage(b, layout, pages / 2, 1); }},
          {"flips", [&](Bytes& b) { damage::FlipBytes(b, layout, 256, 2); }},
          {"cut", [&](Bytes& b) { damage::Truncate(b, intact.size() * 2 / 3); }},
          {"shuffled", [&](Bytes& b) { damage::ShufflePages(b, layout, 3); }}};
      for (const auto& [label, damage] : damages) {
        SCOPED_TRACE(sample.path().filename().string() + ", " + label);
        Bytes bytes = intact;
        damage(bytes);
        RecoverDamaged(sandbox, bytes);
      }
    }
  }
}

}  // namespace
