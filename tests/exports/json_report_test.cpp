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
  const std::vector<std::string> keys = {"result",     "exitStatus", "message",     "grade",
                                         "tableCount", "tables",     "storedFiles", "files"};
  EXPECT_EQ(report.size(), keys.size()) << report.dump();
  for (const std::string& key : keys) ASSERT_TRUE(report.contains(key)) << key;
  // Result and grade are null only for a source of a batch that was refused before recovery.
  EXPECT_TRUE(report["result"].is_number_integer() || report["result"].is_null());
  EXPECT_TRUE(report["exitStatus"].is_number_integer());
  EXPECT_TRUE(report["message"].is_string());
  if (!report["result"].is_null()) {
    EXPECT_GE(report["grade"].get<int>(), 1);
    EXPECT_LE(report["grade"].get<int>(), 3);
  } else {
    EXPECT_TRUE(report["grade"].is_null());
  }
  EXPECT_TRUE(report["tableCount"].is_null() || report["tableCount"].is_number_unsigned());
  EXPECT_TRUE(IsNameList(report["storedFiles"]));
  ASSERT_TRUE(report["tables"].is_array());
  for (const json& table : report["tables"]) {
    ASSERT_TRUE(table.is_object());
    EXPECT_EQ(table.size(), 5u) << table.dump();
    EXPECT_TRUE(table["name"].is_string());
    EXPECT_TRUE(table["columns"].is_number_unsigned());
    EXPECT_TRUE(table["rows"].is_number_unsigned());
    EXPECT_TRUE(IsNameList(table["files"]));
    EXPECT_TRUE(table["note"].is_null() || table["note"].is_string());
  }
  const json& files = report["files"];
  ASSERT_TRUE(files.is_object());
  EXPECT_EQ(files.size(), 4u);
  for (const char* list : {"written", "replaced", "removed", "kept"}) {
    EXPECT_TRUE(IsNameList(files[list])) << list;
  }
}

ToolRun RunTool(const std::vector<std::string>& args, bool withErrors = false) {
  return RunProgram(fs::path(QRX_BIN_DIR) / "qrx-recover", args, withErrors);
}

json RunJson(const std::vector<std::string>& args, int expectedStatus) {
  std::vector<std::string> all = {"--json"};
  all.insert(all.end(), args.begin(), args.end());
  const ToolRun run = RunTool(all);
  EXPECT_EQ(run.status, expectedStatus) << run.output;
  const json report = json::parse(run.output, nullptr, false);
  ExpectSchema(report);
  if (report.is_object()) {
    EXPECT_EQ(report["exitStatus"], expectedStatus);
  }
  return report;
}

std::vector<std::string> Names(const json& list) {
  return list.get<std::vector<std::string>>();
}

// Every table has its entry with its own files, the empty one included; with the stored files
// they are exactly the files in the folder.
TEST(JsonReport, BundledSampleGivesEachTableItsFiles) {
  TempDir dir;
  const std::string sample = (fs::path(QRX_SAMPLES_DIR) / "damaged.fp7").string();
  const json report = RunJson({sample, (dir / "out").string()}, 0);
  EXPECT_EQ(report["result"], 0);
  EXPECT_EQ(report["tableCount"], 4);
  ASSERT_EQ(report["tables"].size(), 4u);
  const json& customers = report["tables"][0];
  EXPECT_EQ(customers["name"], "Customers");
  EXPECT_EQ(customers["columns"], 4);
  EXPECT_EQ(customers["rows"], 150);
  EXPECT_EQ(Names(customers["files"]),
            (std::vector<std::string>{"Customers.dbf", "Customers.dbt", "Customers.cpg"}));
  EXPECT_EQ(report["tables"][1]["note"], "2 damaged pages");
  const json& archive = report["tables"][3];
  EXPECT_EQ(archive["name"], "Archive");
  EXPECT_EQ(archive["rows"], 0);
  EXPECT_TRUE(archive["files"].empty());
  EXPECT_EQ(Names(report["storedFiles"]), std::vector<std::string>{"product-sheet.txt"});

  std::vector<std::string> listed = Names(report["storedFiles"]);
  for (const json& table : report["tables"]) {
    for (const std::string& name : Names(table["files"])) listed.push_back(name);
  }
  std::vector<std::string> onDisk;
  for (const auto& entry : fs::directory_iterator(dir / "out")) {
    onDisk.push_back(entry.path().filename().string());
  }
  std::sort(onDisk.begin(), onDisk.end());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, onDisk);
  EXPECT_EQ(Names(report["files"]["written"]), onDisk);

  // Classic names its files in 8.3 form: which table is in which file is told all the same.
  const json classic = RunJson({"--classic", sample, (dir / "classic").string()}, 0);
  ASSERT_EQ(classic["tables"].size(), 4u);
  // (The short name is the system's own: CUSTOM~1 here, another under Windows.)
  const std::vector<std::string> shortNames = Names(classic["tables"][0]["files"]);
  ASSERT_EQ(shortNames.size(), 2u);
  EXPECT_EQ(shortNames[0].substr(shortNames[0].size() - 4), ".dbf");
  EXPECT_EQ(shortNames[1], shortNames[0].substr(0, shortNames[0].size() - 4) + ".dbt");
  EXPECT_NE(shortNames[0].find('~'), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "classic" / shortNames[0]));
  EXPECT_EQ(classic["tables"][3]["name"], "Archive");
  EXPECT_TRUE(classic["storedFiles"].empty());
}

// Classic recovery's report names the empty tables in one entry; the program gives each its own,
// in the JSON and in the printed report.
TEST(JsonReport, EveryEmptyTableHasAnEntryOfItsOwn) {
  TempDir dir;
  std::vector<fp7::Table> tables = fp7::SampleTables(3, 3);
  tables[1].records.clear();
  tables[2].records.clear();
  WriteFileBytes(dir / "db.fp7", fp7::BuildDatabase(tables));
  const std::string source = (dir / "db.fp7").string();
  const json report = RunJson({"--classic", source, (dir / "json").string()}, 0);
  ASSERT_EQ(report["tables"].size(), 3u);
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(report["tables"][i]["name"], tables[i].name);
    EXPECT_EQ(report["tables"][i]["rows"], 0);
    EXPECT_TRUE(report["tables"][i]["files"].empty());
  }
  const ToolRun printed = RunTool({"--classic", source, (dir / "printed").string()});
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_NE(printed.output.find("\n  " + tables[i].name + " "), std::string::npos)
        << printed.output;
  }
  EXPECT_EQ(printed.output.find(tables[1].name + ", " + tables[2].name + " "), std::string::npos)
      << printed.output;
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

// Several sources: each into a folder of its own named after it (numbered when two share a
// name), a failure of one not stopping the others, the most serious status at the end, and the
// JSON an array of the single-source objects with the source and target in front.
TEST(JsonReport, SeveralSourcesEachGetAFolderAndAnEntry) {
  TempDir dir;
  WriteFileBytes(dir / "a.fp7", fp7::BuildDatabase(fp7::SampleTables(2, 3)));
  fs::create_directory(dir / "other");
  WriteFileBytes(dir / "other" / "a.fp7", fp7::BuildDatabase(fp7::SampleTables(1, 5)));
  const std::vector<std::string> sources = {
      (dir / "a.fp7").string(), (dir / "missing.fp7").string(), (dir / "other" / "a.fp7").string()};
  std::vector<std::string> args = sources;
  args.push_back((dir / "out").string());
  const ToolRun printed = RunTool(args, true);
  EXPECT_EQ(printed.status, 3) << printed.output;  // the missing source is the worst
  EXPECT_TRUE(fs::exists(dir / "out" / "a" / "Table1.dbf")) << printed.output;
  EXPECT_TRUE(fs::exists(dir / "out" / "a_2" / "Table1.dbf")) << printed.output;
  EXPECT_FALSE(fs::exists(dir / "out" / "missing"));
  for (const char* line : {"1/3 ", "2/3 ", "3/3 ", "Summary of 3 sources", "cannot open "}) {
    EXPECT_NE(printed.output.find(line), std::string::npos) << line << "\n" << printed.output;
  }

  std::vector<std::string> again = {"--json"};
  again.insert(again.end(), args.begin(), args.end());
  const ToolRun run = RunTool(again);
  EXPECT_EQ(run.status, 2);  // refused folders weigh more than a missing source
  const json list = json::parse(run.output, nullptr, false);
  ASSERT_TRUE(list.is_array() && list.size() == 3) << run.output;
  for (size_t i = 0; i < 3; ++i) {
    json entry = list[i];
    EXPECT_EQ(entry["source"], sources[i]);
    entry.erase("source");
    entry.erase("target");
    ExpectSchema(entry);
  }
  EXPECT_EQ(list[0]["exitStatus"], 2);  // its folder holds the first run's tables now
  EXPECT_TRUE(list[0]["result"].is_null());
  EXPECT_EQ(list[1]["result"], -4);
}

}  // namespace
