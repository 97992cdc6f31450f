// How fast the fp5 page scan walks a file, next to a plain sequential read of the same file.
// Builds fp5 files of a few sizes with the test builder, then times (a) reading the file in 1 MiB
// blocks, (b) ReadPage + ParsePage + NextPage over every page, and (c) ReadPage + NextPage alone,
// which tells the page engine base's share of (b). Best of three runs each; the
// file is read once beforehand so that both runs see it in the system's file cache.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/fp5_engine.h"
#include "platform/file.h"
#include "support/fp5_builder.h"
#include "support/program_usage.h"
#include "support/temp_dir.h"

namespace {

using namespace fp5build;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 3;

// Four columns; values of 10 to 60 bytes; every tenth record with a long text of two pieces.
void BuildFile(const std::filesystem::path& path, size_t targetBytes) {
  Fp5FileBuilder file;
  file.AddDefinitions({{1, {1, 2, 4}}, {3, {3}}},
                      {{1, "Name"}, {2, "Street"}, {3, "Born"}, {4, "Notes"}});
  uint16_t id = 1;
  while (kStartSize + file.PageCount() * kPageSize < targetBytes) {
    std::vector<Fp5Record> batch;
    for (int i = 0; i < 1000; ++i, id = static_cast<uint16_t>(id % 30000 + 1)) {
      Fp5Record record{Fp5Id::Auto(id),
                       {Fp5Field::Value(1, "Name " + std::to_string(id)),
                        Fp5Field::Value(2, std::string(10 + id % 50, 's')),
                        Fp5Field::Value(3, "1970-01-" + std::to_string(10 + id % 18))}};
      if (id % 10 == 0) {
        record.fields.push_back(
            Fp5Field::LongText(4, {std::string(200, 'n'), std::string(120, 'm')}));
      }
      batch.push_back(std::move(record));
    }
    file.AddRecords(batch);
  }
  file.WriteTo(path);
}

double SecondsOf(const std::function<void()>& run) {
  double best = 1e30;
  for (int i = 0; i < kRuns; ++i) {
    const Clock::time_point start = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

uint64_t ReadSequentially(const std::filesystem::path& path) {
  qrx::platform::File file = qrx::platform::File::OpenForRead(path.u16string());
  std::vector<uint8_t> block(1 << 20);
  uint64_t total = 0, checksum = 0;
  for (size_t got; (got = file.Read(block.data(), block.size())) > 0;) {
    total += got;
    checksum += block[got - 1];
  }
  return total + checksum;
}

struct ScanResult {
  size_t items = 0;
  size_t pieces = 0;
};

// Walks the file as the fp5 parser does; without `parse` only the pages are read.
ScanResult Walk(const std::filesystem::path& path, bool parse) {
  CFileConnector source;
  source.OpenSource(path.u16string().c_str());
  CFM5 engine;
  engine.Connect(&source);
  while (!engine.IsEndOfFile()) {
    engine.ReadPage();
    if (parse) engine.ParsePage();
    engine.NextPage();
  }
  return {engine.GetFieldItems().size(), engine.GetLongTextPieces().size()};
}

void Report(const char* what, uint64_t bytes, uint64_t pages, double seconds) {
  std::printf("  %-30s %12.0f pages/s %9.1f MB/s\n", what, static_cast<double>(pages) / seconds,
              static_cast<double>(bytes) / seconds / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status =
          CheckUsage(argc, argv, 0,
                     "usage: bench_fp5_scan\n\nBuilds fp5 files of 8 and 64 MiB in a temporary "
                     "folder and prints how fast their pages are read and walked.\n")) {
    return *status;
  }
  TempDir dir;
  for (const size_t mebibytes : {8, 64}) {
    const std::filesystem::path path = dir / ("bench" + std::to_string(mebibytes) + ".fp5");
    BuildFile(path, mebibytes << 20);
    const uint64_t bytes = std::filesystem::file_size(path);
    const uint64_t pages = bytes / kPageSize - CFM5::kFirstPage;

    volatile uint64_t sink = ReadSequentially(path);
    const double readSeconds = SecondsOf([&] { sink = ReadSequentially(path); });
    ScanResult found;
    const double scanSeconds = SecondsOf([&] { found = Walk(path, true); });
    const double pageSeconds = SecondsOf([&] { Walk(path, false); });

    std::printf("fp5 scan of a %zu MiB file: %llu pages, %zu items, %zu long-text pieces\n",
                mebibytes, static_cast<unsigned long long>(pages), found.items, found.pieces);
    Report("(a) sequential read, 1 MiB", bytes, pages, readSeconds);
    Report("(b) ReadPage+ParsePage+NextPage", bytes, pages, scanSeconds);
    Report("(c) ReadPage+NextPage", bytes, pages, pageSeconds);
    std::printf("  scan takes %.2f times as long as the read\n", scanSeconds / readSeconds);
  }
  return 0;
}
