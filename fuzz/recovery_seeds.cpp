// Writes a starting corpus for the recovery fuzzer into the folder given as the only argument:
// small whole fp5 and fp7 files made with the builders, intact and damaged.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/damage.h"
#include "support/fp5_builder.h"
#include "support/fp7_builder.h"
#include "support/seed_folder.h"
#include "support/temp_dir.h"

namespace {

std::vector<uint8_t> SmallFp5() {
  using namespace fp5build;
  Fp5FileBuilder file;
  file.AddDefinitions({{3, {2}}}, {{1, "Name"}, {2, "Born"}, {3, "Notes"}});
  std::vector<Fp5Record> rows;
  for (uint16_t id = 1; id <= 12; ++id) {
    rows.push_back({Fp5Id::Auto(id),
                    {Fp5Field::Value(1, "name " + std::to_string(id)), Fp5Field::Value(2, "5.1.99"),
                     Fp5Field::LongText(3, {std::string(300, 'x'), "tail"})}});
  }
  file.AddRecords(rows);
  return file.Build();
}

std::vector<uint8_t> SmallFp7() {
  std::vector<fp7::Table> tables = fp7::SampleTables(2, 6);
  tables[0].containers.push_back({1, "photo.jpg", fp7::Bytes(1500, 0xAB)});
  return fp7::BuildDatabase(tables, 1500);
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<std::filesystem::path> seeds = SeedFolder(argc, argv);
  if (!seeds) return 2;
  const std::filesystem::path& folder = *seeds;
  const damage::PagedLayout fp5Layout{1024, 4096};
  const damage::PagedLayout fp7Layout{4096, 8192};
  std::vector<uint8_t> fp5 = SmallFp5();
  WriteFileBytes(folder / "fp5", fp5);
  damage::NoisePage(fp5, fp5Layout, 1, 7);
  WriteFileBytes(folder / "fp5-noise", fp5);
  std::vector<uint8_t> fp7 = SmallFp7();
  WriteFileBytes(folder / "fp7", fp7);
  damage::ZeroPage(fp7, fp7Layout, 1);
  WriteFileBytes(folder / "fp7-zeroed", fp7);
  damage::Truncate(fp7, 8192 + 4096 * 2 + 100);
  WriteFileBytes(folder / "fp7-truncated", fp7);
  return 0;
}
