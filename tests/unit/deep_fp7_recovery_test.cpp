// Deep recovery of the real fp7 samples through FileRecoverEx, held against what an independent
// reader reads from the healthy files (samples/real/expected): every row, every value, no row
// invented; and damaged copies of them, which lose at most the rows on the damaged page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "deep/field_names.h"
#include "platform/text.h"
#include "qrx/qrx.h"
#include "support/damage.h"
#include "support/dbf_reader.h"
#include "support/real_samples.h"
#include "support/recovery_sandbox.h"
#include "unit/expected_rows.h"

namespace {

namespace fs = std::filesystem;

void UseDeepUtf8(RecoverySandbox& sandbox) {
  sandbox.UseOptions(DeepOptions(QRX_ENCODING_UTF8));
}

class DeepRealSample : public testing::TestWithParam<std::pair<const char*, size_t>> {};

TEST_P(DeepRealSample, EveryRowTheIndependentReaderReads) {
  const auto [sample, rowCount] = GetParam();
  QRX_REAL_SAMPLE_OR_SKIP(source, std::string("fp7/") + sample);
  RecoverySandbox sandbox;
  UseDeepUtf8(sandbox);
  ASSERT_EQ(sandbox.Recover(ReadFileBytes(source)), QRX_OK) << sandbox.Log();
  size_t matching = 0;
  size_t written = 0;
  std::vector<std::string> differences;
  const std::map<std::string, DbfTable> tables = ReadDbfFolder(sandbox.target());
  for (const ExpectedTable& expected : Expected(sample)) {
    const auto table = tables.find(expected.name + ".dbf");
    if (table == tables.end()) {
      differences.push_back("no table " + expected.name);
      continue;
    }
    matching += MatchingRows(expected, table->second, differences);
  }
  for (const auto& [name, table] : tables) written += table.rows.size();
  EXPECT_EQ(matching, rowCount);
  EXPECT_EQ(written, rowCount);  // nothing invented
  // Field types as the column definitions say: numbers, dates, texts.
  if (std::string(sample) == "data.fp7") {
    EXPECT_EQ(tables.at("Orders.dbf").types, "NNDCN");
    EXPECT_EQ(tables.at("Products.dbf").types, "NNDCCNNN");
    EXPECT_EQ(tables.at("Order_lines.dbf").types, "NNNNNNC");
  }
  for (const std::string& difference : differences) ADD_FAILURE() << difference;
}

INSTANTIATE_TEST_SUITE_P(Samples, DeepRealSample,
                         testing::Values(std::make_pair("data.fp7", size_t{38}),
                                         std::make_pair("Dynamic_Fields.fp7", size_t{24})));

// Where the rows of the samples lie: page to row count.
const std::map<std::string, std::map<size_t, size_t>> kRowsOnPage = {
    {"data.fp7", {{3, 4}, {4, 24}, {15, 10}}}, {"Dynamic_Fields.fp7", {{4, 22}, {11, 2}}}};

// Recovers a damaged copy of a sample and checks that it gives `rows` rows, each table whose name
// survives holding its rows unchanged.
void ExpectRows(RecoverySandbox& sandbox, const std::vector<uint8_t>& bytes,
                const std::vector<ExpectedTable>& expected, size_t rows) {
  ASSERT_EQ(sandbox.Recover(bytes), QRX_OK);
  const std::map<std::string, DbfTable> tables = ReadDbfFolder(sandbox.target());
  size_t written = 0;
  for (const auto& [name, table] : tables) written += table.rows.size();
  EXPECT_EQ(written, rows);
  for (const ExpectedTable& table : expected) {
    const auto found = tables.find(table.name + ".dbf");
    if (found == tables.end() || found->second.rows.size() != table.rows.size()) continue;
    std::vector<std::string> differences;
    EXPECT_EQ(MatchingRows(table, found->second, differences), table.rows.size())
        << (differences.empty() ? "" : differences.front());
  }
}

// Each page zeroed in turn, then made noise: the rows on the other pages all come back, unchanged
// wherever the table's names survive (a lost catalogue page leaves them named by their ids).
// Pages shuffled: every row. The file cut short: the rows on the pages before the cut.
TEST_P(DeepRealSample, DamageCostsOnlyTheRowsOnTheDamagedPages) {
  const auto [sample, rowCount] = GetParam();
  QRX_REAL_SAMPLE_OR_SKIP(source, std::string("fp7/") + sample);
  const std::vector<uint8_t> intact = ReadFileBytes(source);
  const std::vector<ExpectedTable> expected = Expected(sample);
  const std::map<size_t, size_t>& rowsOnPage = kRowsOnPage.at(sample);
  const auto rowsOff = [&](size_t page) {
    const auto found = rowsOnPage.find(page);
    return found != rowsOnPage.end() ? found->second : 0;
  };
  const damage::PagedLayout pages{4096, 0};
  RecoverySandbox sandbox;
  UseDeepUtf8(sandbox);
  for (size_t page = 1; page < intact.size() / 4096; ++page) {
    SCOPED_TRACE("page " + std::to_string(page));
    std::vector<uint8_t> zeroed = intact;
    damage::ZeroPage(zeroed, pages, page);
    ExpectRows(sandbox, zeroed, expected, rowCount - rowsOff(page));
    std::vector<uint8_t> noisy = intact;
    damage::NoisePage(noisy, pages, page, page);
    ExpectRows(sandbox, noisy, expected, rowCount - rowsOff(page));
  }
  for (uint64_t seed : {1, 2, 3}) {
    std::vector<uint8_t> shuffled = intact;
    damage::ShufflePages(shuffled, {4096, 8192}, seed);
    ExpectRows(sandbox, shuffled, expected, rowCount);
  }
  const size_t cutPage = intact.size() / 4096 * 2 / 3;
  size_t beforeCut = 0;
  for (const auto& [page, rows] : rowsOnPage) beforeCut += page < cutPage ? rows : 0;
  std::vector<uint8_t> cut = intact;
  damage::Truncate(cut, cutPage * 4096 + 100);
  ExpectRows(sandbox, cut, expected, beforeCut);
}

}  // namespace
