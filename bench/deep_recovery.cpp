// Deep and classic recovery side by side on fp7 files of 16 MiB, 128 MiB and 1 GiB with 1, 10 and
// 100 tables, and on fp5 files of the same sizes, beside a plain read of the same file: seconds,
// the ratio to the read, MB/s and the peak memory of the process. Each recovery runs in a process
// of its own (this program started again with --run), so that its peak memory is its own. Classic
// recovery walks every fp7 page four times per table; where that would take too long it is left
// out.
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

// The child's side: one recovery, its time and peak memory written to `resultPath`.
int RunOne(const std::string& mode, const fs::path& source, const fs::path& target,
           const fs::path& resultPath) {
  DllInitialize(nullptr, Quiet, QuietProgress);
  const auto start = std::chrono::steady_clock::now();
  qrx_options options{};
  options.size = sizeof options;
  options.mode = mode == "classic" ? uint32_t{QRX_MODE_CLASSIC} : QRX_MODE_DEEP;
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

void Row(const char* self, const std::string& mode, const fs::path& source, const TempDir& dir,
         double bytes, double plain) {
  const fs::path target = dir / "out";
  const fs::path result = dir / "result.txt";
  fs::remove_all(target);
  fs::remove(result);
  const std::string command = std::string("\"") + self + "\" --run " + mode + " \"" +
                              source.string() + "\" \"" + target.string() + "\" \"" +
                              result.string() + "\"";
  if (std::system(command.c_str()) != 0) {
    std::printf("  %-8s failed to run\n", mode.c_str());
    return;
  }
  int code = 0;
  double seconds = 0;
  double peak = 0;
  std::ifstream(result) >> code >> seconds >> peak;
  std::printf("  %-8s %8.2f s  %6.1f x read  %8.1f MB/s  peak %7.1f MiB  (code %d)\n", mode.c_str(),
              seconds, seconds / plain, bytes / 1e6 / seconds, peak / 1048576.0, code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--run") {
    return RunOne(argv[2], argv[3], argv[4], argv[5]);
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
      const double bytes = static_cast<double>(fs::file_size(source));
      const double plain = PrintPlainRead(
          source, std::to_string(megabytes) + " MiB, " + std::to_string(tables) + " tables");
      Row(argv[0], "deep", source, dir, bytes, plain);
      // Classic walks every page four times per table.
      if (megabytes * tables <= 1280) Row(argv[0], "classic", source, dir, bytes, plain);
      fs::remove(source);
    }
    if (only == "fp7") continue;
    const fs::path source = dir / "bench.fp5";
    WriteSizedFp5(source, megabytes);
    const double bytes = static_cast<double>(fs::file_size(source));
    const double plain = PrintPlainRead(source, std::to_string(megabytes) + " MiB fp5");
    Row(argv[0], "deep", source, dir, bytes, plain);
    Row(argv[0], "classic", source, dir, bytes, plain);
    fs::remove(source);
  }
  return 0;
}
