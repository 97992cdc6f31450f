// Writes a starting corpus for fp7_page_fuzzer into the folder given: files made with the test
// builders, without their two leading pages (the fuzzer adds them).
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/fp7_builder.h"
#include "support/seed_folder.h"
#include "support/temp_dir.h"

namespace {

using fp7::Bytes;

void Write(const std::filesystem::path& folder, const std::string& name, const Bytes& file) {
  WriteFileBytes(folder / name, Bytes(file.begin() + fp7::kFileStart, file.end()));
}

// One chunk of every form the engine reads, some it refuses, and an unknown opcode.
Bytes EveryForm() {
  fp7::PageWriter w;
  w.Push(3).PushAs(0x28, 200).PushAs(0x30, 20000).PushAs(0x38, 0x204080).PushName("FILE");
  w.PushAs(0x38, 0xFFFFFFFF).PushAs(0xE8, 7);
  w.ValueAs(0x00, 1, Bytes{}).ValueAs(0x01, 2, Bytes{1}).ValueAs(0x05, 3, Bytes(8, 2));
  w.ValueAs(0x06, 4, Bytes{}).ValueAs(0x07, 5, Bytes(1001, 3)).ValueAs(0x09, 300, Bytes{4});
  w.ValueAs(0x0A, 400, Bytes(2, 5)).ValueAs(0x0E, 1000, Bytes{6}).ValueAs(0x0F, 9, Bytes(20, 7));
  w.ValueAs(0x15, 500, Bytes(9, 8)).ValueAs(0x16, 600, Bytes{9}).ValueAs(0x17, 70000, Bytes{});
  w.NamedValueAs(0x1B, "K", Bytes(4, 1)).NamedValueAs(0x1D, "KK", Bytes(8, 2));
  w.NamedValueAs(0x1E, "FNAM", fp7::FileReference("a.jpg")).NamedValueAs(0x1F, "JPEG", Bytes(30));
  w.Skip(0x80).Skip(0x12).Skip(0x1A, 3).Pop(7);
  w.LongValue(9, Bytes(2500, 0x3B), fp7::LongForm::kDeclaredLength);
  w.LongValue(10, Bytes(1500, 0x1B), fp7::LongForm::kPlain);
  w.Push(4).Value(1, Bytes{1}).Raw(Bytes{0xE9, 0x20, 0x01});  // ends at an unknown opcode
  return fp7::MakeFile(w.Pages());
}

}  // namespace

int main(int argc, char** argv) {
  int exitStatus = 0;
  const std::optional<std::filesystem::path> seeds = SeedFolder(argc, argv, exitStatus);
  if (!seeds) return exitStatus;
  const std::filesystem::path& folder = *seeds;

  std::vector<fp7::Table> tables = fp7::SampleTables(2, 12);
  tables[0].singleTableMarker = true;
  tables[1].records.push_back({3, {{2, std::string(2200, 'x')}}});
  tables[1].containers = {{1, "photo.jpg", Bytes(2100, 0x5A)}, {2, "b.txt", Bytes{1, 2}}};
  Write(folder, "database.fp7", fp7::BuildDatabase(tables));
  Write(folder, "database-small-pages.fp7", fp7::BuildDatabase(tables, 1100));
  Write(folder, "one-table.fp7", fp7::BuildDatabase(fp7::SampleTables(1, 3)));
  Write(folder, "every-form.fp7", EveryForm());

  // A database whose second page cannot be read (its count of unused bytes is 0).
  Bytes file = fp7::BuildDatabase(tables, 1100);
  file[fp7::kFileStart + fp7::kPageSize + 14] = 0;
  file[fp7::kFileStart + fp7::kPageSize + 15] = 0;
  Write(folder, "unreadable-page.fp7", file);
  return 0;
}
