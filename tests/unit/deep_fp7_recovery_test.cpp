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

namespace {

namespace fs = std::filesystem;
using Row = std::map<std::string, std::string>;  // by column name

struct ExpectedTable {
  std::string name;
  std::vector<std::string> columns;
  std::vector<Row> rows;
};

std::vector<ExpectedTable> Expected(const std::string& sample) {
  std::ifstream in(RealSample("expected/" + sample + ".json"));
  const nlohmann::json json = nlohmann::json::parse(in);
  std::vector<ExpectedTable> tables;
  for (const auto& table : json) {
    ExpectedTable expected{table["name"], {}, {}};
    for (const auto& column : table["columns"]) expected.columns.push_back(column["name"]);
    for (const auto& values : table["values"]) {
      Row row;
      for (const auto& [column, value] : values.items()) row[column] = value;
      expected.rows.push_back(std::move(row));
    }
    tables.push_back(std::move(expected));
  }
  return tables;
}

// The independent reader strips leading blanks and, for fp7, turns TAB into a blank and CR, CR LF
// and VT into LF; a dBase field loses trailing blanks.
std::string Normalised(std::string value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\t') {
      out += ' ';
    } else if (c == '\r') {
      out += '\n';
      if (i + 1 < value.size() && value[i + 1] == '\n') ++i;
    } else if (c == '\v') {
      out += '\n';
    } else {
      out += c;
    }
  }
  out.erase(0, out.find_first_not_of(' '));
  out.erase(out.find_last_not_of(' ') + 1);
  return out;
}

// A number's display text read in either separator convention (the last separator is the
// decimal one), blanks ignored; nullopt when it is no number.
std::optional<long double> NumberOf(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  const size_t lastComma = text.rfind(',');
  const size_t lastPoint = text.rfind('.');
  const char decimal =
      lastComma != std::string::npos && (lastPoint == std::string::npos || lastComma > lastPoint)
          ? ','
          : '.';
  std::string plain;
  for (const char c : text) {
    if (c == decimal) {
      plain += '.';
    } else if (c != ',' && c != '.') {
      plain += c;
    }
  }
  try {
    size_t used = 0;
    const long double value = std::stold(plain, &used);
    return used == plain.size() ? std::optional<long double>(value) : std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Whether a written value stands for the stored display text, given the field's type.
bool Same(char type, const std::string& written, const std::string& stored) {
  const std::string expected = Normalised(stored);
  if (type == 'N') {
    const std::optional<long double> a = NumberOf(Normalised(written));
    const std::optional<long double> b = NumberOf(expected);
    return a && b && std::fabs(*a - *b) <= 1e-9L * std::max(1.0L, std::fabs(*b));
  }
  if (type == 'D') {
    // dd/mm/yyyy or mm/dd/yyyy, whichever order the table was read in.
    const size_t first = expected.find_first_of("/.-");
    const size_t second = expected.find_first_of("/.-", first + 1);
    if (first == std::string::npos || second == std::string::npos) return false;
    const auto two = [](std::string part) { return part.size() == 1 ? "0" + part : part; };
    const std::string a = two(expected.substr(0, first));
    const std::string b = two(expected.substr(first + 1, second - first - 1));
    const std::string year = expected.substr(second + 1);
    return written == year + b + a || written == year + a + b;
  }
  return Normalised(written) == expected;
}

// Rows of `expected` that the written table holds, row for row in record order, and a message for
// each that differs.
size_t MatchingRows(const ExpectedTable& expected, const DbfTable& written,
                    std::vector<std::string>& differences) {
  std::vector<std::u16string> wide;
  for (const std::string& column : expected.columns)
    wide.push_back(qrx::platform::FromUtf8(column));
  const std::vector<std::string> fields = deep::DbfFieldNames(wide);
  size_t matching = 0;
  for (size_t r = 0; r < expected.rows.size(); ++r) {
    bool same = r < written.rows.size();
    for (size_t c = 0; c < expected.columns.size() && same; ++c) {
      const auto value = expected.rows[r].find(expected.columns[c]);
      const auto field = std::find(written.names.begin(), written.names.end(), fields[c]);
      if (field == written.names.end()) {
        same = value == expected.rows[r].end();
        continue;
      }
      const size_t at = static_cast<size_t>(field - written.names.begin());
      same = value == expected.rows[r].end()
                 ? Normalised(written.rows[r][at]).empty()
                 : Same(written.types[at], written.rows[r][at], value->second);
    }
    if (same) {
      ++matching;
    } else {
      differences.push_back(expected.name + " row " + std::to_string(r + 1));
    }
  }
  return matching;
}

void UseDeepUtf8(RecoverySandbox& sandbox) {
  sandbox.UseOptions({sizeof(qrx_options), QRX_MODE_DEEP, QRX_ENCODING_UTF8});
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
