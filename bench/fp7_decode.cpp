// Throughput of the fp7 page engine on files made with the test builders: a plain sequential read
// of the file as the reference, then ReadPage + ParsePage over all pages, then the same with a
// path lookup and one node per page, as the record passes of a recovery do.
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "engine/file_connector.h"
#include "engine/fp7_engine.h"
#include "platform/file.h"
#include "support/fp7_builder.h"
#include "support/program_usage.h"
#include "support/temp_dir.h"

namespace {

constexpr int kRounds = 5;  // the best of these is reported

double BestSeconds(const std::function<uint64_t()>& run, uint64_t& checksum) {
  double best = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    checksum += run();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

uint64_t PlainRead(const std::u16string& path) {
  qrx::platform::File file = qrx::platform::File::OpenForRead(path);
  std::vector<uint8_t> page(fp7::kPageSize);
  uint64_t sum = 0;
  while (file.Read(page.data(), page.size()) == page.size()) sum += page[14];
  return sum;
}

// Walks every page from the first fp7 page; `perPage` runs on each page read.
uint64_t EngineWalk(const std::u16string& path,
                    const std::function<uint64_t(CFMEngine&)>& perPage) {
  CFileConnector source;
  if (source.OpenSource(path.c_str()) != 0) return 0;
  CFMEngine engine;
  engine.Connect(&source);
  uint64_t sum = 0;
  for (; engine.ReadPage(); engine.NextPage()) sum += perPage(engine);
  return sum;
}

uint64_t Parse(CFMEngine& engine) {
  engine.ParsePage();
  return engine.GetChunks().size();
}

uint64_t ParseAndLookUp(CFMEngine& engine) {
  uint64_t sum = Parse(engine);
  const uint16_t records = engine.FindPath({129 % 256, 5});
  if (records == CFMEngine::kNotFound) return sum;
  const std::vector<uint16_t> subPaths = engine.GetSubPaths(records);
  if (subPaths.empty()) return sum;
  if (std::optional<CFMNode> node = engine.GetNode(subPaths.front(), true, false)) {
    sum += node->Count();
    CFMEngine::FreeNode(*node);
  }
  return sum;
}

void Measure(const TempDir& dir, size_t megabytes) {
  // About 60 file bytes per record occurrence with the sample tables.
  const size_t tables = 4;
  const size_t records = megabytes * 1024 * 1024 / tables / 60;
  const fp7::Bytes file = fp7::BuildDatabase(fp7::SampleTables(tables, records));
  const auto path = dir / ("bench-" + std::to_string(megabytes) + ".fp7");
  WriteFileBytes(path, file);
  const std::u16string widePath = Utf16(path);
  const double pages = static_cast<double>(file.size() / fp7::kPageSize);
  const double mb = static_cast<double>(file.size()) / (1024.0 * 1024.0);

  uint64_t checksum = 0;
  const double plain = BestSeconds([&] { return PlainRead(widePath); }, checksum);
  const double parse = BestSeconds([&] { return EngineWalk(widePath, Parse); }, checksum);
  const double lookup = BestSeconds([&] { return EngineWalk(widePath, ParseAndLookUp); }, checksum);

  std::printf("\nfile of %.1f MiB, %.0f pages (checksum %llu)\n", mb, pages,
              static_cast<unsigned long long>(checksum));
  std::printf("%-34s %12s %10s %11s\n", "", "pages/s", "MB/s", "time/plain");
  const struct {
    const char* name;
    double seconds;
  } rows[] = {{"plain sequential read", plain},
              {"ReadPage + ParsePage", parse},
              {"ReadPage + ParsePage + lookup", lookup}};
  for (const auto& row : rows) {
    std::printf("%-34s %12.0f %10.1f %11.2f\n", row.name, pages / row.seconds, mb / row.seconds,
                row.seconds / plain);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status =
          CheckUsage(argc, argv, 0,
                     "usage: bench_fp7_decode\n\nBuilds fp7 files of 8 and 64 MB in a temporary "
                     "folder and prints how fast their pages are decoded.\n")) {
    return *status;
  }
  TempDir dir;
  for (const size_t megabytes : {8, 64}) Measure(dir, megabytes);
  return 0;
}
