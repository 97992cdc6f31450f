// Deep recovery of the real fp5 sample through FileRecoverEx, held against what an independent
// reader reads from the healthy file (samples/real/expected): every row, every value it has and
// the long values it misses, nothing invented; and damaged copies, which lose at most the rows
// whose records lie on a damaged block and never change a value of any other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "deep/fp5_block.h"
#include "deep/fp5_catalogue.h"
#include "deep/fp5_columns.h"
#include "deep/fp5_record_keys.h"
#include "qrx/qrx.h"
#include "support/damage.h"
#include "support/recovery_sandbox.h"
#include "unit/expected_rows.h"

namespace {

constexpr const char* kSample = "CAKUNITS.FP5";
constexpr size_t kRows = 1351;
constexpr size_t kBlock = 1024;
const damage::PagedLayout kBlocks{kBlock, 2 * kBlock};  // block n is page n - 1 behind the start

std::vector<uint8_t> Sample() {
  return ReadFileBytes(RealSample(std::string("fp5/") + kSample));
}

// Recovers `bytes` in deep mode (UTF-8 tables) and reads the one table back.
DbfTable RecoverTable(RecoverySandbox& sandbox, const std::vector<uint8_t>& bytes) {
  sandbox.UseOptions(DeepOptions(QRX_ENCODING_UTF8));
  EXPECT_EQ(sandbox.Recover(bytes), QRX_OK) << sandbox.Log();
  std::map<std::string, DbfTable> tables = ReadDbfFolder(sandbox.target());
  EXPECT_EQ(tables.size(), 1u);
  return tables.count("CAKUNITS.dbf") != 0 ? tables.at("CAKUNITS.dbf") : DbfTable{};
}

// The table's values without the leading blanks of number fields, so that tables typed apart
// (a damaged copy may lose the values that kept a column from being a number) compare.
std::vector<std::vector<std::string>> Values(const DbfTable& table) {
  std::vector<std::vector<std::string>> rows = table.rows;
  for (auto& row : rows) {
    for (std::string& value : row) value.erase(0, value.find_first_not_of(' '));
  }
  return rows;
}

// The record ids that hold values on each block, and every such id in ascending order (the
// order of the rows).
struct RecordPlaces final : deep::Fp5BlockVisitor {
  std::map<uint64_t, std::set<uint64_t>> onBlock;
  std::set<uint64_t> records;
  uint64_t block = 0;
  void OnValue(deep::Fp5Path path, const deep::Fp5Key& key, std::span<const uint8_t>) override {
    const auto place = deep::RecordPlaceOf(path);
    if (!place || (!place->field && !deep::SlotOfKey(key))) return;
    onBlock[block].insert(place->record);
    records.insert(place->record);
  }
};

template <typename Visitor>
void VisitBlocks(const std::vector<uint8_t>& file, Visitor& visitor) {
  for (size_t n = 1; (n + 2) * kBlock <= file.size(); ++n) {
    visitor.block = n;
    deep::DecodeFp5Block(std::span(file).subspan((n + 1) * kBlock, kBlock), visitor);
  }
}

TEST(DeepFp5RealSample, EveryRowAndValueTheIndependentReaderReadsAndTheLongValuesItMisses) {
  QRX_REAL_SAMPLE_OR_SKIP(source, std::string("fp5/") + kSample);
  RecoverySandbox sandbox(true, {kSample});
  const DbfTable table = RecoverTable(sandbox, Sample());
  const ExpectedTable expected = Expected(kSample).front();
  std::vector<std::string> differences;
  std::map<std::string, size_t> beyondReader;
  EXPECT_EQ(MatchingRows(expected, table, differences, ReaderText::kFp5, &beyondReader), kRows);
  EXPECT_EQ(table.rows.size(), kRows);
  for (const std::string& difference : differences) ADD_FAILURE() << difference;
  // The values in two-byte-keyed pieces, which the reader does not read, joined in piece order.
  const std::map<std::string, size_t> missed = {
      {"Description", 46}, {"Age", 31}, {"Radiometric age", 3}, {"Rock unit", 2}, {"Fossil", 2}};
  EXPECT_EQ(beyondReader, missed);
  const auto age = std::find(table.names.begin(), table.names.end(), "Age") - table.names.begin();
  size_t joined = 0;
  for (const auto& row : table.rows) joined += row[age] == "Middle Jurassic\r\r" ? 1 : 0;
  EXPECT_GT(joined, 0u) << "Age pieces (0,1) \"Middle Jurassic\\r\" and (0,2) \"\\r\" joined";
  // No stale layout names or field-name lists in any record.
  std::set<std::string> foreign = {"Layout #1", "Layout #2"};
  for (const std::string& column : expected.columns) {
    foreign.insert(column);
    std::string upper = column;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    foreign.insert(upper);
  }
  for (const auto& row : table.rows) {
    for (const std::string& value : row) EXPECT_EQ(foreign.count(value), 0u) << value;
  }
}

TEST(DeepFp5RealSample, ColumnsInTheFilesOrderTypedAsTheirFlagsSay) {
  QRX_REAL_SAMPLE_OR_SKIP(source, std::string("fp5/") + kSample);
  const std::vector<uint8_t> file = Sample();
  struct Catalogue final : deep::Fp5BlockVisitor {
    deep::Fp5Catalogue catalogue;
    uint64_t block = 0;
    void OnValue(deep::Fp5Path p, const deep::Fp5Key& k, std::span<const uint8_t> v) override {
      catalogue.OnValue(p, k, v);
    }
    void OnPush(deep::Fp5Path p) override { catalogue.OnPush(p); }
    void OnData(deep::Fp5Path p, std::span<const uint8_t> b) override { catalogue.OnData(p, b); }
  } visitor;
  VisitBlocks(file, visitor);
  std::vector<std::string> names;
  std::string kinds;
  for (const deep::Fp5Column& column : deep::Fp5Columns(visitor.catalogue)) {
    names.push_back(ToNarrow(column.column.name));
    kinds += column.column.kind == deep::ColumnKind::kNumber ? 'N' : 'T';
  }
  EXPECT_EQ(names, Expected(kSample).front().columns);
  EXPECT_EQ(kinds, "TTTTTTTNTTNT");  // Class code and NSAclass are numbers
  EXPECT_EQ(visitor.catalogue.ListedRecords(), kRows);
  // "Rock class" allows two repetitions, but no record fills the second: no empty column.
  EXPECT_EQ(visitor.catalogue.Fields().at(10).flags->back(), 2);
}

// Checks a damaged copy's table against the intact one: its rows are intact rows in order. The
// rows of records with values on a `damaged` block may be lost or lack values (each value left
// is whole or the part of a long value that the intact blocks hold); every other row is there
// and equal.
void ExpectOnlyDamagedRecordsTouched(const DbfTable& intactTable, const DbfTable& damagedTable,
                                     const RecordPlaces& places,
                                     const std::set<uint64_t>& damaged) {
  const auto intact = Values(intactTable);
  std::set<size_t> touched;
  const std::vector<uint64_t> ids(places.records.begin(), places.records.end());
  for (const uint64_t block : damaged) {
    const auto on = places.onBlock.find(block);
    if (on == places.onBlock.end()) continue;
    for (const uint64_t id : on->second) {
      touched.insert(std::lower_bound(ids.begin(), ids.end(), id) - ids.begin());
    }
  }
  const auto partOf = [](const std::vector<std::string>& row, const std::vector<std::string>& of) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (of[c].find(row[c]) == std::string::npos) return false;
    }
    return true;
  };
  size_t next = 0;
  std::set<size_t> kept;
  for (const auto& row : Values(damagedTable)) {
    while (next < intact.size() && touched.count(next) != 0 && row != intact[next] &&
           !partOf(row, intact[next])) {
      ++next;  // a record lost with the damaged block
    }
    ASSERT_LT(next, intact.size()) << "a row that no intact row holds: " << row.front();
    EXPECT_TRUE(row == intact[next] || (touched.count(next) != 0 && partOf(row, intact[next])))
        << "row " << next + 1 << " changed";
    kept.insert(next++);
  }
  for (size_t r = 0; r < intact.size(); ++r) {
    if (touched.count(r) == 0) {
      EXPECT_EQ(kept.count(r), 1u) << "row " << r + 1 << " lost";
    }
  }
}

TEST(DeepFp5RealSample, DamageCostsOnlyTheRecordsOnTheDamagedBlocks) {
  QRX_REAL_SAMPLE_OR_SKIP(source, std::string("fp5/") + kSample);
  const std::vector<uint8_t> file = Sample();
  RecordPlaces places;
  VisitBlocks(file, places);
  RecoverySandbox sandbox(true, {kSample});
  const DbfTable intact = RecoverTable(sandbox, file);
  ASSERT_EQ(intact.rows.size(), kRows);
  const size_t blocks = file.size() / kBlock - 2;
  for (size_t block = 1; block <= blocks; block += 31) {  // a sample of 29 blocks
    SCOPED_TRACE("block " + std::to_string(block));
    std::vector<uint8_t> zeroed = file;
    damage::ZeroPage(zeroed, kBlocks, block - 1);
    ExpectOnlyDamagedRecordsTouched(intact, RecoverTable(sandbox, zeroed), places, {block});
    std::vector<uint8_t> noisy = file;
    damage::NoisePage(noisy, kBlocks, block - 1, block);
    ExpectOnlyDamagedRecordsTouched(intact, RecoverTable(sandbox, noisy), places, {block});
    // Another file's text over the block behind its header: it reads as tokens for a while, and
    // what it seems to say until it stops making sense must not become columns or values.
    std::vector<uint8_t> text = file;
    const std::string words = "The quick brown fox jumps over the lazy dog, 0123456789.\r\n";
    for (size_t at = 20; at < kBlock; ++at) {
      text[(block + 1) * kBlock + at] = static_cast<uint8_t>(words[at % words.size()]);
    }
    ExpectOnlyDamagedRecordsTouched(intact, RecoverTable(sandbox, text), places, {block});
  }
  // The root of the index zeroed, the file header zeroed: nothing lost.
  std::vector<uint8_t> rootless = file;
  damage::ZeroPage(rootless, kBlocks, 0);
  std::fill(rootless.begin(), rootless.begin() + kBlock, 0);
  EXPECT_EQ(Values(RecoverTable(sandbox, rootless)), Values(intact));
  for (uint64_t seed : {1, 2}) {
    std::vector<uint8_t> shuffled = file;
    damage::ShufflePages(shuffled, kBlocks, seed);
    EXPECT_EQ(Values(RecoverTable(sandbox, shuffled)), Values(intact)) << "seed " << seed;
  }
  // Cut inside a block two thirds into the file: the records before it stay.
  const size_t cutBlock = blocks * 2 / 3;
  std::vector<uint8_t> cut = file;
  damage::Truncate(cut, (cutBlock + 1) * kBlock + 100);
  std::set<uint64_t> lost;
  for (size_t block = cutBlock; block <= blocks; ++block) lost.insert(block);
  ExpectOnlyDamagedRecordsTouched(intact, RecoverTable(sandbox, cut), places, lost);
}

}  // namespace
