// Names as a Windows file system treats them: letters of either case are the same name, device
// names and names ending in dots or blanks are no file names, ':' and '\' are no part of one.
// Tables never overwrite each other, and every output stays a plain file of the target folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/dbf_reader.h"
#include "support/fp7_builder.h"
#include "support/recovery_sandbox.h"

namespace {

namespace fs = std::filesystem;

TEST(WindowsNames, NamesWindowsWouldMergeOrRefuseBecomeFilesOfTheirOwn) {
  const std::vector<fp7::Table> tables = {
      fp7::SampleTable(129, "Sales",
                       {{1, "Photo.JPG", {1}}, {2, "photo.jpg", {2}}, {3, "x:aux.txt", {3}}}),
      fp7::SampleTable(130, "SALES", {{1, "report. . ", {4}}, {2, "lpt1", {5}}}),
      fp7::SampleTable(131, "tab:le. "), fp7::SampleTable(132, "nul")};
  RecoverySandbox sandbox;
  EXPECT_EQ(sandbox.Recover(fp7::BuildDatabase(tables)), QRX_OK);
  EXPECT_EQ(sandbox.Strays(), std::vector<fs::path>{});
  // The second table of the same name (to Windows) goes beside the first, under the short name
  // the file system gives "SALES_130"; a stored file replaces a file of its name, whatever the
  // case.
  std::vector<std::string> outputs = sandbox.Outputs();
  ASSERT_EQ(outputs.size(), 8u);
  const std::string second = outputs[0];
  EXPECT_TRUE(second.starts_with("SALE") && second.ends_with(".dbf")) << second;
  outputs.erase(outputs.begin());
  EXPECT_EQ(outputs, (std::vector<std::string>{"Sales.dbf", "_lpt1", "_nul.dbf", "photo.jpg",
                                               "report", "table.dbf", "xaux.txt"}));
  EXPECT_EQ(ReadFileBytes(sandbox.target() / "photo.jpg"), std::vector<unsigned char>{2});
  for (const std::string& table :
       {second, std::string("Sales.dbf"), std::string("table.dbf"), std::string("_nul.dbf")}) {
    EXPECT_EQ(ReadDbf(sandbox.target() / table).rows.size(), 2u) << table;
  }
}

}  // namespace
