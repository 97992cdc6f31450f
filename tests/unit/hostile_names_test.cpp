// Names from a file made to hurt: table, column and container names that reach for other folders,
// carry control characters, run long, or collide. Every output must land inside the target folder;
// result tables are always new files, container files replace a file of their name.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/dbf_reader.h"
#include "support/fp7_builder.h"
#include "support/recovery_sandbox.h"

namespace {

namespace fs = std::filesystem;

TEST(HostileNames, NamesReachingForOtherFoldersLandInsideTheTarget) {
  std::vector<fp7::Table> tables = {fp7::SampleTable(129, "../../escaped",
                                                     {{1, "../../../outside.jpg", {1}},
                                                      {2, "/etc/cron.d/evil", {2}},
                                                      {3, "..", {3}},
                                                      {4, std::string(300, 'n') + ".bin", {4}},
                                                      {5, "C:/Windows/evil.dll", {5}},
                                                      {6, "line\rbreak.txt", {6}}}),
                                    fp7::SampleTable(130, "/tmp/absolute/../x"),
                                    fp7::SampleTable(131, ".."),
                                    fp7::SampleTable(132, "CON"),
                                    fp7::SampleTable(133, std::string(300, 't')),
                                    fp7::SampleTable(134, "tab:le\r")};
  tables[0].columns[0].name = "../col\r/:";
  tables[0].columns[1].name = std::string(40, 'c');
  RecoverySandbox sandbox;
  EXPECT_EQ(sandbox.Recover(fp7::BuildDatabase(tables)), QRX_OK);
  EXPECT_EQ(sandbox.Strays(), std::vector<fs::path>{});
  // Only the last component of a name counts; what is left of "..", a device name or a name too
  // long for a short name is made plain; a stored file reference holds at most 253 name bytes
  // (the 304 written here come back as their first 48).
  std::vector<std::string> expected = {
      "Object_3", "TABLE_~1.dbf",  "TTTTTT~1.dbf",       "_CON.dbf",    "escaped.dbf", "evil",
      "evil.dll", "linebreak.txt", std::string(48, 'n'), "outside.jpg", "table.dbf",   "x.dbf"};
#if defined(_WIN32)
  // The file system makes the two short names up in its own way: that there are two is what counts.
  const auto madeUp = [](const std::string& name) { return name.find('~') != std::string::npos; };
  std::vector<std::string> outputs = sandbox.Outputs();
  EXPECT_EQ(std::count_if(outputs.begin(), outputs.end(), madeUp), 2);
  std::erase_if(outputs, madeUp);
  std::erase_if(expected, madeUp);
  EXPECT_EQ(outputs, expected);
#else
  EXPECT_EQ(sandbox.Outputs(), expected);
#endif
  const DbfTable escaped = ReadDbf(sandbox.target() / "escaped.dbf");
  EXPECT_EQ(escaped.rows.size(), 2u);
  EXPECT_EQ(escaped.names[0], "../col\r/:");  // a field name is no path: kept as it is
  EXPECT_EQ(escaped.names[1], std::string(10, 'c'));
}

TEST(HostileNames, ResultTablesAreNewFilesWhileContainersReplaceFilesOfTheirName) {
  std::vector<fp7::Table> tables = {
      fp7::SampleTable(129, "Same", {{1, "photo.jpg", {1, 1}}}),
      fp7::SampleTable(130, "Same", {{1, "photo.jpg", {2, 2}}, {2, "Same.dbf", {3}}}),
      fp7::SampleTable(131, "Kept")};
  RecoverySandbox sandbox;
  fs::create_directory(sandbox.target());
  WriteFileBytes(sandbox.target() / "Kept.dbf", {'k', 'e', 'e', 'p'});
  WriteFileBytes(sandbox.source(), fp7::BuildDatabase(tables));
  EXPECT_EQ(sandbox.Recover(sandbox.source(), sandbox.target()), QRX_OK);
  EXPECT_EQ(sandbox.Strays(), std::vector<fs::path>{});
  EXPECT_EQ(sandbox.Outputs(), (std::vector<std::string>{"Kept.dbf", "Kept_131.dbf", "Same.dbf",
                                                         "Same_130.dbf", "photo.jpg"}));
  // The file that was there stays; the table went beside it.
  EXPECT_EQ(ReadFileText(sandbox.target() / "Kept.dbf"), "keep");
  EXPECT_EQ(ReadDbf(sandbox.target() / "Kept_131.dbf").rows.size(), 2u);
  // The second table's objects replaced the first table's photo and its result table.
  EXPECT_EQ(ReadFileBytes(sandbox.target() / "photo.jpg"), (std::vector<unsigned char>{2, 2}));
  EXPECT_EQ(ReadFileBytes(sandbox.target() / "Same.dbf"), std::vector<unsigned char>{3});
  EXPECT_EQ(ReadDbf(sandbox.target() / "Same_130.dbf").rows.size(), 2u);
  const std::string log = sandbox.Log();
  EXPECT_NE(
      log.find("CreateBinaryFiles: object 1 replaces " + (sandbox.target() / "photo.jpg").string()),
      std::string::npos);
  EXPECT_NE(
      log.find("CreateBinaryFiles: object 2 replaces " + (sandbox.target() / "Same.dbf").string()),
      std::string::npos);
}

}  // namespace
