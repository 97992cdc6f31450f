#include "engine/version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/log.h"
#include "support/fp5_builder.h"
#include "support/fp7_builder.h"
#include "support/temp_dir.h"

namespace {

class VersionTest : public ::testing::Test {
 protected:
  void SetUp() override { g_Log.Open((dir / "version.log").string().c_str(), true); }
  void TearDown() override { g_Log.Close(); }

  int32_t VersionOf(const std::vector<uint8_t>& bytes) {
    WriteFileBytes(dir / "source", bytes);
    CFileConnector connector;
    EXPECT_EQ(connector.OpenSource(Utf16(dir / "source").c_str()), 0);
    return CVersion().DetermineVersion(&connector);
  }
  std::string Log() { return ReadFileText(dir / "version.log"); }

  static std::vector<uint8_t> Fp5File(size_t dataPages) {
    fp5build::Fp5FileBuilder builder;
    builder.AddDefinitions({{1, {1, 2}}}, {{1, "Name"}, {2, "City"}});
    std::vector<fp5build::Fp5Record> records;
    for (uint16_t id = 1; records.size() < dataPages * 40; ++id) {
      records.push_back({fp5build::Fp5Id::Auto(id),
                         {fp5build::Fp5Field::Value(1, "name " + std::to_string(id)),
                          fp5build::Fp5Field::Value(2, "somewhere")}});
    }
    builder.AddRecords(records);
    return builder.Build();
  }

  TempDir dir;
};

TEST_F(VersionTest, TellsTheFormatsApartAndLogsBothScores) {
  EXPECT_EQ(VersionOf(Fp5File(5)), 5);
  EXPECT_NE(Log().find("TEST VERS: fp5 pages = 100 %\nTEST VERS: fp7 pages = 0 %\n" +
                       std::string(40, '=')),
            std::string::npos)
      << Log();

  EXPECT_EQ(VersionOf(fp7::BuildDatabase(fp7::SampleTables(2, 20))), 7);
  EXPECT_NE(Log().find("TEST VERS: Finded 2 table(s) of fp7 version."), std::string::npos);
  EXPECT_NE(Log().find("TEST VERS: fp7 pages = 100 %"), std::string::npos);
}

TEST_F(VersionTest, NeitherFormatWinsOnNoiseTinyFilesAndRareMarkers) {
  EXPECT_EQ(VersionOf(std::vector<uint8_t>(4096, 0xC1)), 0);  // no page behind the start
  EXPECT_EQ(VersionOf(std::vector<uint8_t>(100000, 0x00)), 0);

  // One fp5-looking page among a thousand scores 0 percent.
  std::vector<uint8_t> rare(4096 + 1001 * 1024, 0x00);
  const std::vector<uint8_t> fp5 = Fp5File(1);
  std::copy(fp5.begin() + 4096, fp5.begin() + 4096 + 1024, rare.begin() + 4096);
  EXPECT_EQ(VersionOf(rare), 0);
  EXPECT_NE(Log().find("TEST VERS: fp5 pages = 0 %"), std::string::npos);
}

TEST_F(VersionTest, UnreadableFp7PagesAreSkippedOnTheWayToTheCatalogue) {
  std::vector<fp7::Bytes> areas = fp7::LayOutDatabase(fp7::SampleTables(1, 5));
  std::vector<uint8_t> file = fp7::MakeFile(areas);
  // Put two pages with a count of 0 (unreadable) in front of the catalogue.
  const fp7::Bytes refused = fp7::MakePageWithCount({}, 0);
  file.insert(file.begin() + fp7::kFileStart, refused.begin(), refused.end());
  file.insert(file.begin() + fp7::kFileStart, refused.begin(), refused.end());
  EXPECT_EQ(VersionOf(file), 7);
}

}  // namespace
