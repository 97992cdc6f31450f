#include "engine/version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/log.h"
#include "support/fp5_builder.h"
#include "support/fp7_builder.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Fp5File(uint16_t records) {
  using namespace fp5build;
  std::vector<Fp5Record> rows;
  for (uint16_t id = 1; id <= records; ++id)
    rows.push_back({Fp5Id::Auto(id), {Fp5Field::Value(1, "name " + std::to_string(id))}});
  return Fp5FileBuilder().AddDefinitions({{1, {1}}}, {{1, "Name"}}).AddRecords(rows).Build();
}

class VersionTest : public ::testing::Test {
 protected:
  void SetUp() override { g_Log.Open((dir / "version.log").string().c_str(), true); }
  void TearDown() override { g_Log.Close(); }

  int32_t VersionOf(const Bytes& bytes) {
    WriteFileBytes(dir / "source", bytes);
    CFileConnector connector;
    EXPECT_EQ(connector.OpenSource(Utf16(dir / "source").c_str()), 0);
    return CVersion().DetermineVersion(&connector);
  }
  bool Logged(const std::string& text) {
    return ReadFileText(dir / "version.log").find(text) != std::string::npos;
  }

  TempDir dir;
};

TEST_F(VersionTest, TheFormatWithTheHigherShareOfItsPagesWins) {
  // An fp7 file with two unreadable pages (a count of 0) in front of its catalogue.
  Bytes fp7Refused = fp7::MakeFile(fp7::LayOutDatabase(fp7::SampleTables(1, 5)));
  const fp7::Bytes refused = fp7::MakePageWithCount({}, 0);
  for (int i = 0; i < 2; ++i)
    fp7Refused.insert(fp7Refused.begin() + fp7::kFileStart, refused.begin(), refused.end());
  // One fp5 page among a thousand scores 0 percent.
  Bytes rare(4096 + 1001 * 1024, 0x00);
  const Bytes fp5 = Fp5File(100);
  std::copy(fp5.begin() + 4096, fp5.begin() + 4096 + 1024, rare.begin() + 4096);
  const std::vector<std::tuple<const char*, Bytes, int32_t>> cases = {
      {"fp5", Fp5File(200), 5},
      {"fp7", fp7::BuildDatabase(fp7::SampleTables(2, 20)), 7},
      {"fp7 behind refused pages", fp7Refused, 7},
      {"no page behind the start", Bytes(4096, 0xC1), 0},
      {"zeros", Bytes(100000, 0x00), 0},
      {"a rare fp5 page", rare, 0}};
  for (const auto& [name, bytes, version] : cases) EXPECT_EQ(VersionOf(bytes), version) << name;
}

TEST_F(VersionTest, LogsBothScores) {
  EXPECT_EQ(VersionOf(Fp5File(200)), 5);
  EXPECT_TRUE(
      Logged("TEST VERS: fp5 pages = 100 %\nTEST VERS: fp7 pages = 0 %\n" + std::string(40, '=')));
}

}  // namespace
