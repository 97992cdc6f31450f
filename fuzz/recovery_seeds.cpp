// Writes a starting corpus for the recovery fuzzers into the folder given as the only argument:
// small whole fp5 and fp7 files made with the builders, intact, damaged, with hostile names, and
// made to blow their tables up.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/crafted_databases.h"
#include "support/damage.h"
#include "support/fp5_file_builder.h"
#include "support/fp7_builder.h"
#include "support/paged_databases.h"
#include "support/seed_folder.h"
#include "support/temp_dir.h"

namespace {

// Names that try to leave the target folder, or collide.
std::vector<uint8_t> HostileFp7() {
  std::vector<fp7::Table> tables = fp7::SampleTables(3, 3);
  tables[0].name = "../../escaped";
  tables[1].name = "/tmp/absolute/../x";
  tables[2].name = tables[0].name;
  tables[0].columns[0].name = "../col\r/:";
  tables[0].containers = {{1, "../../../outside.jpg", {1, 2, 3}},
                          {2, "C:/Windows/evil.dll", {4}},
                          {3, std::string(300, 'n') + ".bin", {5}},
                          {4, "..", {6}}};
  tables[1].containers = {{1, "escaped.dbf", {7}}};
  return fp7::BuildDatabase(tables);
}

// Two tables laid out as the database program lays them out: typed columns, a long note in
// segments, a stored file, small pages so that records continue on the next page.
std::vector<uint8_t> AsWrittenFp7() {
  std::vector<fp7::Table> tables = fp7::SampleTables(2, 6);
  for (fp7::Column& column : tables[0].columns) {
    column.definition = fp7::ColumnDefinition(1, column.typeCode[1]);
  }
  tables[0].records[0].fields.push_back({3, std::string(1500, 'n')});
  tables[1].containers = {{7, "sheet.txt", {'s', 'h', 'e', 'e', 't'}}};
  return fp7::BuildDatabase(tables, 1400, fp7::IdForm::kAsWritten);
}

// An fp5 file as the database program lays it out: records keyed in every form, ids of one to
// four bytes, a repeating field, long values in both piece forms, small blocks so that records
// continue on the next one, stale bytes behind the live length.
PagedDatabase AsWrittenFp5() {
  using namespace fp5file;
  Catalogue catalogue;
  catalogue.fields = {{1, "Name"},
                      {2, "Born", kDate},
                      {3, "Amount", kNumber},
                      {4, "Tag", kText, true, 2},
                      {5, "Setting", kGlobal},
                      {200, "Caf\xC3\xA9"}};
  catalogue.order = {3, 1};
  catalogue.typeMembersAsData = true;
  std::vector<Record> records;
  for (const uint32_t id : {1u, 2u, 130u, 16600u, 2200000u}) {
    records.push_back({id,
                       {{1, "N" + std::to_string(id), 1, KeyForm::kOneByte},
                        {2, "14/11/2004", 1, KeyForm::kShortest, true},
                        {3, std::to_string(id)},
                        {4, "second", 2},
                        {200, "\xE2\x80\xA2", 1, KeyForm::kTwoByte}}});
  }
  records[0].values.push_back({4, std::string(300, 'c')});
  records[1].values.push_back(
      {4, "plain pieces", 1, KeyForm::kShortest, false, PieceForm::kPlain, 5});
  std::vector<Block> blocks = LayOut(catalogue, records, 260);
  blocks[1].stale = blocks[2].payload;
  blocks.push_back({blocks[3].payload, 0, {}, 0, true});
  PagedDatabase db{MakeFile(blocks), {kBlockSize, kFirstBlockOffset}, {}, records.size()};
  db.holdsFacts.assign(blocks.size() + 1, true);
  return db;
}

void WriteVariants(const std::filesystem::path& folder, const std::string& name,
                   const PagedDatabase& db) {
  const auto variant = [&](const std::string& suffix,
                           const std::function<void(std::vector<uint8_t>&)>& damage) {
    std::vector<uint8_t> bytes = db.bytes;
    damage(bytes);
    WriteFileBytes(folder / (name + suffix), bytes);
  };
  const damage::PagedLayout& layout = db.layout;
  variant("", [](std::vector<uint8_t>&) {});
  variant("-noise", [&](std::vector<uint8_t>& b) { damage::NoisePage(b, layout, 2, 7); });
  variant("-zeroed", [&](std::vector<uint8_t>& b) { damage::ZeroPage(b, layout, 1); });
  variant("-flipped", [&](std::vector<uint8_t>& b) { damage::FlipBytes(b, layout, 16, 3); });
  variant("-shuffled", [&](std::vector<uint8_t>& b) { damage::ShufflePages(b, layout, 5); });
  variant("-truncated", [&](std::vector<uint8_t>& b) {
    damage::Truncate(b, layout.startSize + layout.pageSize * db.PageCount() / 2 + 100);
  });
}

}  // namespace

int main(int argc, char** argv) {
  int exitStatus = 0;
  const std::optional<std::filesystem::path> seeds = SeedFolder(argc, argv, exitStatus);
  if (!seeds) return exitStatus;
  WriteVariants(*seeds, "fp5", Fp5WithIdlePages());
  WriteVariants(*seeds, "fp7", Fp7WithIdlePages());
  WriteVariants(*seeds, "fp5-as-written", AsWrittenFp5());
  fp5file::BlockWriter recordsOnly;  // the definitions lost
  fp5file::WriteRecords(recordsOnly, {{7, {{1, "a"}, {9, "b", 2}}}, {300, {{70, "c"}}}});
  WriteFileBytes(*seeds / "fp5-records-only", fp5file::MakeFile(recordsOnly.Blocks()));
  WriteFileBytes(*seeds / "fp7-hostile", HostileFp7());
  WriteFileBytes(*seeds / "fp7-wide-record", Fp7WideRecordThenNarrowOnes(40));
  WriteFileBytes(*seeds / "fp5-wide-records", Fp5WideRecordsThenNarrowOnes(40));
  WriteFileBytes(*seeds / "fp7-as-written", AsWrittenFp7());
  return 0;
}
