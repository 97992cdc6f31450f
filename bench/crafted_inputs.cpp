// How recovery time grows with the size of files made to be expensive, next to ordinary ones:
// whole recoveries through FileRecover (log on and off) of
//   - fp5 files with a column type block of 490 entries on every page,
//   - fp5 files of ordinary records,
//   - fp7 files with many tables in the catalogue and many pages (each table walks every page).
// The time per page of each kind, as the page count doubles, tells linear growth (a constant)
// from quadratic growth (a figure that doubles too). Best of three runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "diag/log.h"
#include "support/fp5_builder.h"
#include "support/fp7_builder.h"
#include "support/recovery_sandbox.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Best of three, in seconds.
double TimeRecovery(const Bytes& file, bool withLog, size_t& logBytes) {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    // A log that an earlier recovery opened stays open for the next one; close it for quiet runs.
    if (!withLog) g_Log.Close();
    RecoverySandbox sandbox(withLog);
    const auto start = std::chrono::steady_clock::now();
    sandbox.Recover(file);
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    logBytes = withLog ? sandbox.Log().size() : 0;
  }
  return best;
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

void Row(const char* kind, size_t pages, const Bytes& file) {
  size_t logBytes = 0;
  const double quiet = TimeRecovery(file, false, logBytes);
  const double logged = TimeRecovery(file, true, logBytes);
  std::printf(
      "%-28s %6zu pages %8.1f KiB  no log %8.3f s (%6.1f us/page)  log %8.3f s, %8.1f KiB\n", kind,
      pages, file.size() / 1024.0, quiet, quiet * 1e6 / pages, logged, logBytes / 1024.0);
}

}  // namespace

int main() {
  for (size_t pages : {250, 500, 1000, 2000}) {
    Row("fp5 type block every page", pages, Fp5TypeBlockOnEveryPage(pages));
  }
  for (size_t pages : {250, 500, 1000, 2000}) Row("fp5 records", pages, Fp5Records(pages));
  for (size_t scale : {50, 100, 200, 400}) {
    Row("fp7 as many tables as pages", scale, Fp7ManyTables(scale, scale));
  }
  return 0;
}
