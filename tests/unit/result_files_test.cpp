// What a recovery leaves in its target folder: tables whose headers tell the truth, memo files of
// their own, nothing that looks finished when it is not, and output in proportion to the source.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "parser/parser_base.h"
#include "qrx/qrx.h"
#include "support/crafted_databases.h"
#include "support/dbf_reader.h"
#include "support/fp7_builder.h"
#include "support/recovery_sandbox.h"

namespace {

namespace fs = std::filesystem;

fp7::Table TableOf(uint32_t id, std::string name, size_t columns) {
  fp7::Table table{id, std::move(name), false, {}, {}, {}};
  for (uint32_t c = 1; c <= columns; ++c) table.columns.push_back({c, "Col" + std::to_string(c)});
  return table;
}

uint64_t BytesIn(const fs::path& folder) {
  uint64_t total = 0;
  for (const auto& entry : fs::directory_iterator(folder)) total += entry.file_size();
  return total;
}

TEST(ResultFiles, AMemoFileOfTheTablesNameMakesTheTableTakeAnotherName) {
  fp7::Table notes = TableOf(129, "Notes", 2);
  notes.records = {{1, {{1, "first"}, {2, std::string(700, 'x')}}}, {2, {{1, "second"}}}};
  RecoverySandbox sandbox;
  const std::vector<uint8_t> bytes = fp7::BuildDatabase({notes});
  ASSERT_EQ(sandbox.Recover(bytes), QRX_OK);
  ASSERT_EQ(sandbox.Outputs(), (std::vector<std::string>{"Notes.dbf", "Notes.dbt"}));

  // A memo file left in the folder is neither written into nor pointed at.
  fs::remove_all(sandbox.target());
  fs::create_directories(sandbox.target());
  WriteFileBytes(sandbox.source(), bytes);
  WriteFileBytes(sandbox.target() / "Notes.dbt", {'m', 'i', 'n', 'e'});
  ASSERT_EQ(sandbox.Recover(sandbox.source(), sandbox.target()), QRX_OK);
  EXPECT_EQ(sandbox.Outputs(),
            (std::vector<std::string>{"NOTES~1.dbf", "NOTES~1.dbt", "Notes.dbt"}));
  EXPECT_NE(sandbox.Log().find("Notes.dbt exists already"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(sandbox.target() / "Notes.dbt"),
            (std::vector<unsigned char>{'m', 'i', 'n', 'e'}));
  const DbfTable table = ReadDbf(sandbox.target() / "NOTES~1.dbf");
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0][1], std::string(700, 'x'));
}

TEST(ResultFiles, HeaderCountsTheRecordsTheTableHolds) {
  // A record met twice whose second occurrence adds a column before the first one's last: the
  // joined fields go to the table out of column order and fill two rows.
  fp7::Table table = TableOf(129, "Split", 3);
  table.records = {{1, {{1, "a"}, {3, "c"}}}, {2, {{1, "b"}}}, {1, {{2, "late"}}}};
  RecoverySandbox sandbox;
  ASSERT_EQ(sandbox.Recover(fp7::BuildDatabase({table})), QRX_OK);
  const DbfTable written = ReadDbf(sandbox.target() / "Split.dbf");
  EXPECT_EQ(written.rows.size(), 3u);
  EXPECT_EQ(written.declaredRows, written.rows.size());
}

TEST(ResultFiles, ATableBlownUpByOneWideRecordIsCutAtTheOutputLimit) {
  const std::vector<uint8_t> bytes = Fp7WideRecordThenNarrowOnes(1400);
  RecoverySandbox sandbox(false);
  ASSERT_EQ(sandbox.Recover(bytes), QRX_OK);
  const uint64_t limit = CFMLogicParserBase::kOutputAllowance +
                         CFMLogicParserBase::kOutputPerSourceByte * bytes.size();
  const uint64_t written = BytesIn(sandbox.target());
  std::printf("[ limit ] %zu bytes in, %llu bytes out\n", bytes.size(),
              static_cast<unsigned long long>(written));
  EXPECT_LE(written, limit);
  EXPECT_GT(written, limit - 70'000);  // cut at the last record that fits
  const DbfTable table = ReadDbf(sandbox.target() / "Wide.dbf");
  EXPECT_EQ(table.declaredRows, table.rows.size());
  EXPECT_LT(table.rows.size(), 1401u);

  qrx_utf16_t **items, **details, **grades, **notes;
  RecoveryReport(&items, &details, &grades, &notes);
  size_t last = 0;
  while (items[last + 1] != nullptr) ++last;  // this run's entries come last
  EXPECT_EQ(std::u16string(notes[last]).rfind(u"Cut at the output limit after ", 0), 0u);
}

// The host asks to stop while the first table is being written: the run ends at once, and the
// half-written table is gone rather than left looking complete.
TEST(ResultFiles, AStopWhileATableIsWrittenLeavesNoTable) {
  std::vector<fp7::Table> tables = fp7::SampleTables(1, 60000);
  TempDir dir;
  const fs::path source = dir / "big.fp7";
  const fs::path target = dir / "out";
  WriteFileBytes(source, fp7::BuildDatabase(tables));
  static volatile uint8_t stop = 0;
  stop = 0;
  std::atomic<bool> done{false};
  std::chrono::steady_clock::time_point stoppedAt;
  std::thread watcher([&] {
    // The temporary table file appears when the writing pass begins.
    while (!done) {
      std::error_code ignored;
      for (const auto& entry : fs::directory_iterator(target, ignored)) {
        if (entry.path().extension() == ".partial" && stop == 0) {
          stoppedAt = std::chrono::steady_clock::now();
          stop = 1;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  DllInitialize(
      nullptr, [](const qrx_utf16_t*) {}, [](const qrx_utf16_t*, int32_t) {});
  SetLogPath(u"");
  SetBreakFlag(&stop);
  const int32_t result =
      FileRecover((Utf16(source) + u'*').c_str(), Utf16(target).c_str(), nullptr);
  const auto endedAt = std::chrono::steady_clock::now();
  done = true;
  watcher.join();
  SetBreakFlag(nullptr);
  ASSERT_EQ(stop, 1) << "the recovery ended before its table was begun";
  EXPECT_EQ(result, QRX_STOPPED);
  EXPECT_TRUE(fs::is_empty(target));
  std::printf("[ stop ] the run ended %.3f s after the stop\n",
              std::chrono::duration<double>(endedAt - stoppedAt).count());
}

TEST(ResultFiles, ATemporaryFileLeftByAnInterruptedRunIsPassedOver) {
  fp7::Table table = TableOf(129, "Kept", 1);
  table.records = {{1, {{1, "one"}}}};
  RecoverySandbox sandbox;
  const std::vector<uint8_t> bytes = fp7::BuildDatabase({table});
  fs::create_directories(sandbox.target());
  WriteFileBytes(sandbox.source(), bytes);
  WriteFileBytes(sandbox.target() / "Kept.dbf.partial", {'h', 'a', 'l', 'f'});
  ASSERT_EQ(sandbox.Recover(sandbox.source(), sandbox.target()), QRX_OK);
  EXPECT_EQ(sandbox.Outputs(), (std::vector<std::string>{"Kept.dbf", "Kept.dbf.partial"}));
  EXPECT_EQ(ReadDbf(sandbox.target() / "Kept.dbf").rows.size(), 1u);
}

}  // namespace
