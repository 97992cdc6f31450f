// fp5 files recovered through the shared library's exports and through qrx-recover, the results
// read back.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/damage.h"
#include "support/dbf_reader.h"
#include "support/fp5_builder.h"
#include "support/real_samples.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace fp5build;
using Rows = std::vector<std::vector<std::string>>;

std::vector<std::u16string> g_diagnostics;
std::vector<std::pair<std::u16string, int32_t>> g_progress;
volatile uint8_t g_breakByte = 0;
int32_t g_breakAtPercent = -1;

void WriteDiag(const qrx_utf16_t* text) {
  g_diagnostics.emplace_back(text);
}
void StatusBar(const qrx_utf16_t* text, int32_t percent) {
  g_progress.emplace_back(text, percent);
  if (percent == g_breakAtPercent) g_breakByte = 1;
}

// Columns in an order of their own: a date, text (type 5), long text (type 8) and a number;
// record 1 comes back with its long text after record 2.
Fp5FileBuilder People() {
  Fp5FileBuilder file;
  file.AddDefinitions({{3, {2}}, {2, {4}}, {5, {1}}, {8, {3}}},
                      {{2, "Born"}, {1, "Name"}, {3, "Notes"}, {4, "Count"}})
      .AddRecords(
          {{Fp5Id::Auto(1),
            {Fp5Field::Value(1, "Ann"), Fp5Field::Value(2, "5.1.99"), Fp5Field::Value(4, "12")}},
           {Fp5Id::Auto(2), {Fp5Field::Value(1, "Bob"), Fp5Field::Value(2, "31.12.1999")}},
           {Fp5Id::Auto(1),
            {Fp5Field::LongText(3, {std::string(200, 'n'), std::string(100, 'm')})}},
           {Fp5Id::Auto(3), {Fp5Field::Value(1, "Cy"), Fp5Field::LongText(3, {"short"})}}});
  return file;
}

class Fp5RecoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_diagnostics.clear();
    g_progress.clear();
    g_breakByte = 0;
    g_breakAtPercent = -1;
    DllInitialize(u"test host", WriteDiag, StatusBar);
    SetLogPath(Utf16(dir / "log").c_str());
    UseExternStatusStrings(0);
    SetBreakFlag(&g_breakByte);
  }
  void TearDown() override { SetLogPath(u""); }

  int32_t Recover(const fs::path& source) {
    return FileRecover((Utf16(source) + u'*').c_str(), Utf16(out).c_str(), "");
  }
  int32_t Recover(const Fp5FileBuilder& file) {
    file.WriteTo(dir / "db.fp5");
    return Recover(dir / "db.fp5");
  }

  TempDir dir;
  fs::path out = dir / "out";
};

TEST_F(Fp5RecoveryTest, TableWithDatesLongTextsAndARecordMetAgain) {
  ASSERT_EQ(Recover(People()), QRX_OK);
  const DbfTable table = ReadDbf(out / "Table.dbf");
  EXPECT_EQ(table.names, (std::vector<std::string>{"Born", "Name", "Notes", "Count"}));
  EXPECT_EQ(table.types, "DCMN");
  EXPECT_EQ(table.rows,
            (Rows{{"990105", "Ann", std::string(200, 'n') + std::string(100, 'm'), "12"},
                  {"19991231", "Bob", "", ""},
                  {"", "Cy", "short", ""}}));
  EXPECT_EQ(g_diagnostics,
            (std::vector<std::u16string>{u"Pass 1: analyzing database...", u"done",
                                         u"Pass 2: recovering columns schema...", u"done",
                                         u"Pass 3: recovering table rows...", u"done"}));
  EXPECT_EQ(g_progress,
            (std::vector<std::pair<std::u16string, int32_t>>{{u"Getting file version... 5%", 5},
                                                             {u"Reading tables list... 30%", 30},
                                                             {u"Writing row data... 60%", 60},
                                                             {u"", 100}}));
  qrx_utf16_t **items, **details, **grades, **notes;
  RecoveryReport(&items, &details, &grades, &notes);
  size_t last = 0;
  while (items[last + 1] != nullptr) ++last;
  EXPECT_EQ(std::u16string(grades[0]), u"3");
  EXPECT_EQ(std::u16string(items[last]) + u"|" + details[last], u"Table|4 columns, 3 rows");
}

TEST_F(Fp5RecoveryTest, TheBreakByteStopsTheRecoveryAtItsCheckpoints) {
  g_breakByte = 1;
  EXPECT_EQ(Recover(People()), QRX_STOPPED);
  g_breakByte = 0;
  g_breakAtPercent = 60;  // the rows are built before the next checkpoint
  EXPECT_EQ(Recover(People()), QRX_STOPPED);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(Fp5RecoveryTest, DamagedFilesGiveWhatTheirReadablePagesHold) {
  std::vector<Fp5Record> records;  // 60 rows of 48 bytes over four pages
  for (uint16_t id = 1; id <= 60; ++id)
    records.push_back({Fp5Id::Auto(id), {Fp5Field::Value(1, "row " + std::string(44, '.'))}});
  Fp5FileBuilder file;
  file.AddDefinitions({}, {{1, "Text"}}).AddRecords(records);
  const damage::PagedLayout layout{kPageSize, kStartSize};
  const std::vector<std::function<void(damage::Bytes&)>> damages = {
      [&](damage::Bytes& b) { damage::ZeroPage(b, layout, 2); },
      [&](damage::Bytes& b) { damage::Truncate(b, b.size() - kPageSize / 2); },
      [&](damage::Bytes& b) { damage::NoisePage(b, layout, 1, 7); },
      [&](damage::Bytes& b) { damage::ShufflePages(b, layout, 5); }};
  for (size_t i = 0; i < damages.size(); ++i) {
    fs::remove_all(out);
    file.WriteTo(dir / "db.fp5");
    damage::DamageFile(dir / "db.fp5", damages[i]);
    const int32_t result = Recover(dir / "db.fp5");
    ASSERT_TRUE(result == QRX_OK || result == QRX_NOTHING_TO_RECOVER) << i;
    if (i < 2) {  // a zeroed or cut-off data page costs its own rows only
      const size_t rows = ReadDbf(out / "Table.dbf").rows.size();
      EXPECT_TRUE(rows > 30 && rows < 60) << i << ": " << rows;
    }
  }
}

TEST_F(Fp5RecoveryTest, RealSample) {
  QRX_REAL_SAMPLE_OR_SKIP(sample, "fp5/CAKUNITS.FP5");
  ASSERT_EQ(Recover(sample), QRX_OK);
  const DbfTable table = ReadDbf(out / "Table.dbf");
  EXPECT_EQ(table.names.size(), 12u);
  EXPECT_EQ(table.names[0] + table.types[0], "Rock unitC");
  EXPECT_GT(table.rows.size(), 1000u);
}

#if !defined(_WIN32)  // a POSIX shell runs the program
TEST(Fp5CommandLine, RecoversAndPrintsTheReport) {
  TempDir dir;
  People().WriteTo(dir / "db.fp5");
  // The builder lays files out in the classic reader's model, which only classic recovery reads.
  for (const std::string option : {"", "--json"}) {
    const std::string command = std::string(QRX_BIN_DIR) + "/qrx-recover --classic " + option +
                                " '" + (dir / "db.fp5").string() + "' '" +
                                (dir / ("out" + option)).string() + "' > '" +
                                (dir / "shown").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    EXPECT_NE(ReadFileText(dir / "shown")
                  .find(option.empty() ? "Table          4 columns, 3 rows"
                                       : "\"columns\": 4,\n      \"rows\": 3,"),
              std::string::npos);
  }
}
#endif

}  // namespace
