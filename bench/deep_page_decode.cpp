// Throughput of the deep fp7 page decoder alone: every page of a builder-made file decoded from
// memory, many times over, with a visitor that only sums what it is handed. This is the inner loop
// of a deep recovery, so it sets the ceiling for the whole recovery's speed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "deep/fp7_page.h"
#include "support/fp7_builder.h"
#include "support/program_usage.h"

namespace {

constexpr int kRounds = 10;  // the best of these is reported

class Summer : public deep::Fp7PageVisitor {
 public:
  void OnValue(std::span<const deep::PathPart> path, const deep::ChunkKey& key,
               std::span<const uint8_t> value) override {
    sum += path.size() + key.number + value.size();
  }
  void OnSegment(std::span<const deep::PathPart> path, uint32_t piece,
                 std::span<const uint8_t> bytes) override {
    sum += path.size() + piece + bytes.size();
  }
  uint64_t sum = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status =
          CheckUsage(argc, argv, 0,
                     "usage: bench_deep_page_decode\n\nDecodes the pages of a 64 MiB fp7 file "
                     "made in memory, page by page, and prints MB/s.\n")) {
    return *status;
  }
  // About 60 file bytes per record occurrence with the sample tables: ~64 MiB.
  const size_t tables = 4, records = 64u * 1024 * 1024 / tables / 60;
  const fp7::Bytes file = fp7::BuildDatabase(fp7::SampleTables(tables, records));
  const fp7::ByteView all(file);
  const size_t pages = file.size() / fp7::kPageSize;
  const double mb = static_cast<double>(file.size()) / (1024.0 * 1024.0);

  Summer summer;
  uint64_t chunks = 0, damaged = 0;
  double best = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    for (size_t n = 0; n < pages; ++n) {
      const deep::PageOutcome outcome =
          deep::DecodeFp7Page(all.subspan(n * fp7::kPageSize, fp7::kPageSize), summer);
      chunks += outcome.chunks;
      damaged += outcome.damaged;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  std::printf("file of %.1f MiB, %zu pages, %llu chunks per round, %llu damaged (checksum %llu)\n",
              mb, pages, static_cast<unsigned long long>(chunks / kRounds),
              static_cast<unsigned long long>(damaged / kRounds),
              static_cast<unsigned long long>(summer.sum));
  std::printf("deep page decode: %.0f pages/s, %.1f MB/s (best of %d)\n", pages / best, mb / best,
              kRounds);
  return 0;
}
