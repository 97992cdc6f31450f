// qrx-recover --json: every run, whatever its end, prints one object that follows the schema the
// README writes down, and its numbers agree with the files written.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/fp5_builder.h"
#include "support/fp7_builder.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;
using fp5build::Fp5Field;
using fp5build::Fp5FileBuilder;
using fp5build::Fp5Id;
using nlohmann::json;

bool IsNameList(const json& list) {
  if (!list.is_array()) return false;
  for (const json& name : list) {
    if (!name.is_string()) return false;
  }
  return true;
}

// The schema of the README's "--json" section, key by key; nothing else may appear.
void ExpectSchema(const json& report) {
  ASSERT_TRUE(report.is_object());
  const std::vector<std::string> keys = {"result",      "exitStatus",  "message",
                                         "grade",       "tableCount",  "tables",
                                         "emptyTables", "storedFiles", "files"};
  EXPECT_EQ(report.size(), keys.size()) << report.dump();
  for (const std::string& key : keys) ASSERT_TRUE(report.contains(key)) << key;
  EXPECT_TRUE(report["result"].is_number_integer());
  EXPECT_TRUE(report["exitStatus"].is_number_integer());
  EXPECT_TRUE(report["message"].is_string());
  EXPECT_TRUE(report["grade"].is_number_integer());
  EXPECT_GE(report["grade"].get<int>(), 1);
  EXPECT_LE(report["grade"].get<int>(), 3);
  EXPECT_TRUE(report["tableCount"].is_null() || report["tableCount"].is_number_unsigned());
  EXPECT_TRUE(report["emptyTables"].is_null() || report["emptyTables"].is_string());
  EXPECT_TRUE(report["storedFiles"].is_null() || report["storedFiles"].is_string());
  ASSERT_TRUE(report["tables"].is_array());
  for (const json& table : report["tables"]) {
    ASSERT_TRUE(table.is_object());
    EXPECT_EQ(table.size(), 4u) << table.dump();
    EXPECT_TRUE(table["name"].is_string());
    EXPECT_TRUE(table["columns"].is_null() || table["columns"].is_number_unsigned());
    EXPECT_TRUE(table["rows"].is_null() || table["rows"].is_number_unsigned());
    EXPECT_TRUE(table["note"].is_null() || table["note"].is_string());
  }
  const json& files = report["files"];
  ASSERT_TRUE(files.is_object());
  EXPECT_EQ(files.size(), 4u);
  for (const char* list : {"written", "replaced", "removed", "kept"}) {
    EXPECT_TRUE(IsNameList(files[list])) << list;
  }
}

json RunJson(const std::vector<std::string>& args, int expectedStatus) {
  std::vector<std::string> all = {"--json"};
  all.insert(all.end(), args.begin(), args.end());
  const ToolRun run = RunProgram(fs::path(QRX_BIN_DIR) / "qrx-recover", all, false);
  EXPECT_EQ(run.status, expectedStatus) << run.output;
  const json report = json::parse(run.output, nullptr, false);
  ExpectSchema(report);
  if (report.is_object()) {
    EXPECT_EQ(report["exitStatus"], expectedStatus);
  }
  return report;
}

TEST(JsonReport, BundledSampleCountsEveryTableAndFile) {
  TempDir dir;
  const json report =
      RunJson({(fs::path(QRX_SAMPLES_DIR) / "damaged.fp7").string(), (dir / "out").string()}, 0);
  EXPECT_EQ(report["result"], 0);
  EXPECT_EQ(report["tableCount"], 4);
  EXPECT_EQ(report["tables"].size(), 3u);
  EXPECT_EQ(report["tables"][0]["name"], "Customers");
  EXPECT_EQ(report["tables"][0]["columns"], 4);
  EXPECT_EQ(report["tables"][0]["rows"], 150);
  EXPECT_EQ(report["emptyTables"], "Archive");
  EXPECT_EQ(report["storedFiles"], "product-sheet.txt");
  // Exactly the files in the folder, under the names they have there.
  std::vector<std::string> onDisk;
  for (const auto& entry : fs::directory_iterator(dir / "out")) {
    onDisk.push_back(entry.path().filename().string());
  }
  std::sort(onDisk.begin(), onDisk.end());
  EXPECT_EQ(report["files"]["written"].get<std::vector<std::string>>(), onDisk);
}

TEST(JsonReport, FailuresAndForcedRunsFollowTheSameSchema) {
  TempDir dir;
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(9000, 0x33));
  const json nothing = RunJson({(dir / "noise.bin").string(), (dir / "out").string()}, 4);
  EXPECT_EQ(nothing["result"], -3);
  EXPECT_TRUE(nothing["tables"].empty());
  EXPECT_TRUE(nothing["tableCount"].is_null());
  EXPECT_EQ(RunJson({(dir / "missing").string(), (dir / "out").string()}, 3)["result"], -4);

  Fp5FileBuilder()
      .AddDefinitions({{5, {1}}}, {{1, "Name \"quoted\"\t"}})
      .AddRecords({{Fp5Id::Auto(1), {Fp5Field::Value(1, "Ann")}}})
      .WriteTo(dir / "db.fp5");
  // The builder lays files out in the classic reader's model, which only classic recovery reads.
  const std::string source = (dir / "db.fp5").string();
  ASSERT_EQ(RunJson({"--classic", source, (dir / "fp5").string()}, 0)["tables"][0]["rows"], 1);
  // Again into the same folder: the table is in the way, so it is not written.
  const json again = RunJson({"--classic", "--force", source, (dir / "fp5").string()}, 5);
  EXPECT_EQ(again["files"]["kept"], json::array({"Table.dbf"}));
  EXPECT_TRUE(again["files"]["written"].empty());
}

}  // namespace
