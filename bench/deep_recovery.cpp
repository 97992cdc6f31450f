// Deep and classic recovery side by side on fp7 files of 16 MiB, 128 MiB and 1 GiB with 1, 10 and
// 100 tables, and on fp5 files of the same sizes, beside a plain read of the same file: seconds,
// the ratio to the read, MB/s and the peak memory of the process. On the 1-table fp7 files and the
// fp5 files deep recovery also writes SQLite alone, CSV alone and all three formats at once; every
// row shows its time as a ratio to the deep dBase row of the same file, and a row that misses its
// goal (SQLite at most 2x dBase, CSV at most 1.2x, peak memory at most 256 MiB) says so. Each
// recovery runs in a process of its own (this program started again with --run), so that its peak
// memory is its own. Classic recovery walks every fp7 page four times per table; where that would
// take too long it is left out.
//
//   bench_deep_recovery [MAX_MEGABYTES [fp5|fp7]]   (default 1024, both formats)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/memory.h"
#include "qrx/qrx.h"
#include "support/sized_databases.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

void QRX_CALL Quiet(const qrx_utf16_t*) {}
void QRX_CALL QuietProgress(const qrx_utf16_t*, int32_t) {}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One recovery of the table below: the mode, the output formats and the goal for its time as a
// ratio to the deep dBase row (0: none).
struct Run {
  const char* label;
  uint32_t mode;
  uint32_t formats;
  bool formatRow;  // only on the files that compare the output formats
  double goalRatio;
};

constexpr uint32_t kAllFormats = QRX_FORMAT_DBF | QRX_FORMAT_SQLITE | QRX_FORMAT_CSV;
// The first row is the deep dBase recovery the others are compared with.
constexpr Run kRuns[] = {
    {"deep dbf", QRX_MODE_DEEP, QRX_FORMAT_DBF, false, 0},
    {"deep sqlite", QRX_MODE_DEEP, QRX_FORMAT_SQLITE, true, 2.0},
    {"deep csv", QRX_MODE_DEEP, QRX_FORMAT_CSV, true, 1.2},
    {"deep all", QRX_MODE_DEEP, kAllFormats, true, 0},
    {"classic", QRX_MODE_CLASSIC, 0, false, 0},
};
constexpr double kGoalPeakBytes = 256.0 * 1048576.0;

// The child's side: one recovery, its time and peak memory written to `resultPath`.
int RunOne(uint32_t mode, uint32_t formats, const fs::path& source, const fs::path& target,
           const fs::path& resultPath) {
  DllInitialize(nullptr, Quiet, QuietProgress);
  const auto start = std::chrono::steady_clock::now();
  qrx_options options{};
  options.size = sizeof options;
  options.mode = mode;
  options.formats = formats;
  const int32_t result = FileRecoverEx(Utf16(source).c_str(), Utf16(target).c_str(), &options);
  const double seconds = SecondsSince(start);
  std::ofstream(resultPath) << result << ' ' << seconds << ' ' << qrx::platform::PeakResidentBytes()
                            << '\n';
  return 0;
}

double PlainRead(const fs::path& path) {
  const auto start = std::chrono::steady_clock::now();
  qrx::platform::File file = qrx::platform::File::OpenForRead(Utf16(path));
  std::vector<uint8_t> run(1 << 20);
  while (file.Read(run.data(), run.size()) > 0) {
  }
  return SecondsSince(start);
}

// The plain read of a file whose pages the first read brought into the cache, printed.
double PrintPlainRead(const fs::path& source, const std::string& what) {
  PlainRead(source);
  const double plain = PlainRead(source);
  std::printf("%s: plain read %.3f s (%.0f MB/s)\n", what.c_str(), plain,
              static_cast<double>(fs::file_size(source)) / 1e6 / plain);
  return plain;
}

// One row: the recovery run in a child process and printed; its seconds, or 0 if it did not run.
double Row(const char* self, const Run& run, const fs::path& source, const TempDir& dir,
           double bytes, double plain, double dbfSeconds) {
  const fs::path target = dir / "out";
  const fs::path result = dir / "result.txt";
  fs::remove_all(target);
  fs::remove(result);
  const std::string command = std::string("\"") + self + "\" --run " + std::to_string(run.mode) +
                              " " + std::to_string(run.formats) + " \"" + source.string() +
                              "\" \"" + target.string() + "\" \"" + result.string() + "\"";
  if (std::system(command.c_str()) != 0) {
    std::printf("  %-11s failed to run\n", run.label);
    return 0;
  }
  int code = 0;
  double seconds = 0;
  double peak = 0;
  std::ifstream(result) >> code >> seconds >> peak;
  const double ratio = dbfSeconds > 0 ? seconds / dbfSeconds : 1.0;
  const bool slow = run.goalRatio > 0 && ratio > run.goalRatio;
  const bool big = run.formatRow && peak > kGoalPeakBytes;
  std::printf(
      "  %-11s %8.2f s  %6.1f x read  %5.2f x dbf  %8.1f MB/s  peak %7.1f MiB  (code %d)%s%s\n",
      run.label, seconds, seconds / plain, ratio, bytes / 1e6 / seconds, peak / 1048576.0, code,
      slow ? "  OVER TIME GOAL" : "", big ? "  OVER MEMORY GOAL" : "");
  std::fflush(stdout);  // a run of several minutes shows its rows as they come, also into a file
  return seconds;
}

// Every run of the table that fits the file, after its plain read.
void Rows(const char* self, const fs::path& source, const std::string& what, const TempDir& dir,
          bool formats, bool classic) {
  const double bytes = static_cast<double>(fs::file_size(source));
  const double plain = PrintPlainRead(source, what);
  double dbfSeconds = 0;
  for (const Run& run : kRuns) {
    if (run.formatRow && !formats) continue;
    if (run.mode == QRX_MODE_CLASSIC && !classic) continue;
    const double seconds = Row(self, run, source, dir, bytes, plain, dbfSeconds);
    if (&run == &kRuns[0]) dbfSeconds = seconds;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::string(argv[1]) == "--run") {
    return RunOne(static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)),
                  static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)), argv[4], argv[5],
                  argv[6]);
  }
  if (argc > 1 && std::string(argv[1]) == "--help") {
    std::printf("usage: bench_deep_recovery [MAX_MEGABYTES [fp5|fp7]]\n");
    return 0;
  }
  const size_t maxMegabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
  const std::string only = argc > 2 ? argv[2] : "";
  TempDir dir;
  for (const size_t megabytes : {16, 128, 1024}) {
    if (megabytes > maxMegabytes) break;
    for (const size_t tables : {1, 10, 100}) {
      if (only == "fp5") break;
      const fs::path source = dir / "bench.fp7";
      WriteSizedFp7(source, {megabytes, tables, megabytes * 2000});
      // Classic walks every page four times per table.
      Rows(argv[0], source,
           std::to_string(megabytes) + " MiB, " + std::to_string(tables) + " tables", dir,
           tables == 1, megabytes * tables <= 1280);
      fs::remove(source);
    }
    if (only == "fp7") continue;
    const fs::path source = dir / "bench.fp5";
    WriteSizedFp5(source, megabytes);
    Rows(argv[0], source, std::to_string(megabytes) + " MiB fp5", dir, true, true);
    fs::remove(source);
  }
  return 0;
}
