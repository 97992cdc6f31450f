// Writes a starting corpus for the fp5 page fuzzer into the folder given as the only argument:
// small fp5 files made with the builder, without their 4096-byte start (the fuzzer adds it).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/damage.h"
#include "support/fp5_builder.h"
#include "support/seed_folder.h"

namespace {

using namespace fp5build;

void WriteSeed(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data() + kStartSize),
            static_cast<std::streamsize>(bytes.size() - kStartSize));
}

Fp5FileBuilder Table(uint16_t firstRecord, int records) {
  Fp5FileBuilder file;
  file.AddDefinitions({{2, {1}}, {5, {2, 3}}},
                      {{1, "Name"}, {2, "Born"}, {3, "Memo"}, {133, "Wide"}});
  std::vector<Fp5Record> rows;
  for (int i = 0; i < records; ++i) {
    const auto id = static_cast<uint16_t>(firstRecord + i);
    Fp5Record row{i % 4 == 3 ? Fp5Id::ThreeBytes(0, id >> 8, id & 0xFF) : Fp5Id::Auto(id),
                  {Fp5Field::Value(1, "row " + std::to_string(id)), Fp5Field::Value(2, "5.1.99")}};
    if (i % 3 == 0) row.fields.push_back(Fp5Field::LongText(3, {"short", std::string(300, 'L')}));
    rows.push_back(row);
  }
  file.AddRecords(rows);
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  int exitStatus = 0;
  const std::optional<std::filesystem::path> seeds = SeedFolder(argc, argv, exitStatus);
  if (!seeds) return exitStatus;
  const std::filesystem::path& folder = *seeds;

  WriteSeed(folder, "types_only", Fp5FileBuilder().AddDefinitions({{5, {1, 2}}}, {}).Build());
  WriteSeed(folder, "definitions",
            Fp5FileBuilder().AddDefinitions({{3, {1}}}, {{1, "A"}, {200, "B"}}).Build());
  WriteSeed(folder, "small_table", Table(1, 5).Build());
  WriteSeed(folder, "wide_ids", Table(120, 12).Build());
  WriteSeed(folder, "many_pages", Table(1, 60).Build());
  WriteSeed(
      folder, "long_text_over_pages",
      Table(1, 2).AddRecords({{Fp5Id::Auto(1), {Fp5Field::LongText(3, {"rest"}, 3)}}}).Build());

  // The same table with the damage a disk does.
  const damage::PagedLayout layout{kPageSize, kStartSize};
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    Bytes bytes = Table(1, 30).Build();
    damage::FlipBytes(bytes, layout, 20, seed);
    damage::ShufflePages(bytes, layout, seed);
    WriteSeed(folder, "damaged_" + std::to_string(seed), bytes);
  }
  return 0;
}
