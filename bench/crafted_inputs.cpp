// How recovery time grows with the size of files made to be expensive, next to ordinary ones:
// whole recoveries through FileRecover (log on and off) of
//   - fp5 files with a column type block of 490 entries on every page,
//   - fp5 files of ordinary records,
//   - fp7 files with many tables in the catalogue and many pages (each table walks every page),
//   - fp7 files whose pages each hold one record opening a chain of nested sub-paths, the chain
//     twice as deep (and the page twice as full) from one size to the next.
//   - files made to blow up their output: one record of long values widening every later record
//     of its table (fp7, and fp5 with a wide record per column), and stored files of one byte
//     each numbered far out into their objects.
// The time per page of each kind, as the page count doubles, tells linear growth (a constant)
// from quadratic growth (a figure that doubles too); for the nested chains, whose page count
// stays, the time per KiB of chunk data tells it. The bytes written per byte of the file tell
// whether the output stays in proportion. Best of three runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "diag/log.h"
#include "support/crafted_databases.h"
#include "support/fp5_builder.h"
#include "support/fp7_builder.h"
#include "support/program_usage.h"
#include "support/recovery_sandbox.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What one recovery took and wrote.
struct Run {
  double seconds = 1e9;  // best of three
  size_t logBytes = 0;
  uint64_t outputBytes = 0;
};

Run TimeRecovery(const Bytes& file, bool withLog) {
  Run run;
  for (int attempt = 0; attempt < 3; ++attempt) {
    // A log that an earlier recovery opened stays open for the next one; close it for quiet runs.
    if (!withLog) g_Log.Close();
    RecoverySandbox sandbox(withLog);
    const auto start = std::chrono::steady_clock::now();
    sandbox.Recover(file);
    run.seconds =
        std::min(run.seconds,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    run.logBytes = withLog ? sandbox.Log().size() : 0;
    run.outputBytes = 0;
    for (const std::string& name : sandbox.Outputs()) {
      run.outputBytes += std::filesystem::file_size(sandbox.target() / name);
    }
  }
  return run;
}

Bytes Fp5TypeBlockOnEveryPage(size_t pages) {
  using namespace fp5build;
  std::vector<uint8_t> columns;
  for (int c = 0; c < 490; ++c) columns.push_back(static_cast<uint8_t>(c % 120 + 1));
  Bytes area = {0xC1, 3};
  const Bytes types = ColumnTypeBlock({{1, columns}});
  area.insert(area.end(), types.begin(), types.end());
  area.push_back(0xC0);
  Fp5FileBuilder file;
  for (size_t page = 0; page < pages; ++page) file.AddPage(area);
  return file.Build();
}

Bytes Fp5Records(size_t pages) {
  using namespace fp5build;
  Fp5FileBuilder file;
  file.AddDefinitions({}, {{1, "Name"}, {2, "Notes"}});
  for (uint16_t id = 1; file.PageCount() < pages; id = static_cast<uint16_t>(id % 30000 + 1)) {
    std::vector<Fp5Record> rows;
    for (int i = 0; i < 20; ++i, ++id) {
      rows.push_back({Fp5Id::Auto(id),
                      {Fp5Field::Value(1, "name " + std::to_string(id)),
                       Fp5Field::Value(2, std::string(30, 'n'))}});
    }
    file.AddRecords(rows);
  }
  return file.Build();
}

// `tables` tables of one record each, then filler pages up to `pages`.
Bytes Fp7ManyTables(size_t tables, size_t pages) {
  std::vector<fp7::Table> list;
  for (size_t t = 0; t < tables; ++t) {
    fp7::Table table = fp7::SampleTables(1, 1)[0];
    table.id = static_cast<uint32_t>(129 + t);
    table.name = std::string("T").append(std::to_string(t));
    list.push_back(std::move(table));
  }
  std::vector<fp7::Bytes> areas = fp7::LayOutDatabase(list);
  const fp7::Bytes filler = fp7::ChunkWriter().Push(17).Text(1, "filler").Pop().bytes();
  while (areas.size() < pages) areas.push_back(filler);
  return fp7::MakeFile(areas);
}

// One table, then `pages` pages each holding a record of that table that opens `depth` nested
// sub-paths and leaves them open: the page ends inside the chain, as a damaged page may.
Bytes Fp7NestedPushes(size_t depth, size_t pages, size_t& chunkBytes) {
  std::vector<fp7::Table> tables = fp7::SampleTables(1, 1);
  std::vector<fp7::Bytes> areas = fp7::LayOutDatabase(tables);
  fp7::ChunkWriter nested;
  nested.Push(tables[0].id).Push(5).Push(1).Text(1, "nested");
  for (size_t level = 0; level < depth; ++level) {
    nested.Push(static_cast<uint32_t>(level % 200 + 2));
  }
  chunkBytes = 0;
  for (size_t page = 0; page < pages; ++page) {
    areas.push_back(nested.bytes());
    chunkBytes += nested.bytes().size();
  }
  return fp7::MakeFile(areas);
}

// The figures of one file; the time per unit divides by `units`, a count of `unit`.
void Row(const std::string& kind, const Bytes& file, double units, const char* unit) {
  const Run quiet = TimeRecovery(file, false);
  const Run logged = TimeRecovery(file, true);
  std::printf(
      "%-38s %8.1f KiB  no log %8.3f s (%7.1f us/%s)  log %8.3f s, %8.1f KiB  "
      "out %9.1f KiB (%6.1f per byte)\n",
      kind.c_str(), file.size() / 1024.0, quiet.seconds, quiet.seconds * 1e6 / units, unit,
      logged.seconds, logged.logBytes / 1024.0, quiet.outputBytes / 1024.0,
      static_cast<double>(quiet.outputBytes) / file.size());
}

std::string Sized(const char* kind, size_t count, const char* what) {
  return std::string(kind).append(", ").append(std::to_string(count)).append(" ").append(what);
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status = CheckUsage(
          argc, argv, 0,
          "usage: bench_crafted_inputs\n\nRecovers files made to be expensive at growing sizes and "
          "prints the time and the bytes written per byte of each.\n")) {
    return *status;
  }
  for (size_t pages : {250, 500, 1000, 2000}) {
    Row(Sized("fp5 type block every page", pages, "pages"), Fp5TypeBlockOnEveryPage(pages), pages,
        "page");
  }
  for (size_t pages : {250, 500, 1000, 2000}) {
    Row(Sized("fp5 records", pages, "pages"), Fp5Records(pages), pages, "page");
  }
  for (size_t scale : {50, 100, 200, 400}) {
    Row(Sized("fp7 as many tables as pages", scale, "pages"), Fp7ManyTables(scale, scale), scale,
        "page");
  }
  // 32 pages each time: only the chain's depth, and so the chunk data, grows.
  for (size_t depth : {250, 500, 1000, 2000}) {
    size_t chunkBytes = 0;
    const Bytes file = Fp7NestedPushes(depth, 32, chunkBytes);
    Row(Sized("fp7 nested pushes", depth, "deep"), file, chunkBytes / 1024.0, "KiB of chunks");
  }
  for (size_t records : {2000, 4000, 8000, 16000}) {
    const Bytes file = Fp7WideRecordThenNarrowOnes(records);
    Row(Sized("fp7 wide record, then", records, "narrow"), file, records, "record");
  }
  for (size_t records : {2000, 4000, 8000, 16000}) {
    const Bytes file = Fp5WideRecordsThenNarrowOnes(records);
    Row(Sized("fp5 wide records, then", records, "narrow"), file, records, "record");
  }
  for (size_t objects : {500, 1000, 2000, 4000}) {
    Row(Sized("fp7 stored pieces far out", objects, "objects"), Fp7StoredPiecesFarOut(objects),
        objects, "object");
  }
  return 0;
}
