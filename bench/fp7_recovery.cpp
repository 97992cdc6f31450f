// Whole fp7 recoveries on files made with the test builders, of growing size and table count:
// total time, pages/s, MB/s and records/s, beside a plain sequential read of the file. Each file is
// recovered once without a log and once with one, and the page dump the log would carry is timed
// on its own, to show how the time splits between the dump and the table passes.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "diag/log.h"
#include "engine/file_connector.h"
#include "parser8/fp7_parser.h"
#include "platform/file.h"
#include "support/fp7_builder.h"
#include "support/program_usage.h"
#include "support/sized_databases.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

double Seconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PlainRead(const fs::path& path) {
  qrx::platform::File file = qrx::platform::File::OpenForRead(Utf16(path));
  std::vector<uint8_t> page(fp7::kPageSize);
  while (file.Read(page.data(), page.size()) == page.size()) {
  }
}

void Recover(const fs::path& source, const fs::path& target) {
  fs::remove_all(target);
  fs::create_directory(target);
  CFileConnector connector;
  connector.OpenSource(Utf16(source).c_str());
  CFMLogicParser8 parser;
  parser.AttachSource(&connector);
  if (parser.Process(Utf16(target).c_str()) != 0) std::printf("recovery failed\n");
}

// The dump of all pages, as a run whose engine has a page loaded writes it.
void DumpAllPages(const fs::path& source) {
  CFileConnector connector;
  connector.OpenSource(Utf16(source).c_str());
  CFMEngine engine;
  engine.Connect(&connector);
  engine.m_nCurrentPage = 2;
  engine.ReadPage();
  engine.DumpAllPages(true);
}

void Measure(const TempDir& dir, const Fp7Shape& shape) {
  const fs::path source = dir / ("bench-" + std::to_string(shape.megabytes) + ".fp7");
  {
    const fp7::Bytes file = fp7::BuildDatabase(SizedFp7Tables(shape));
    WriteFileBytes(source, file);
  }
  const double bytes = static_cast<double>(fs::file_size(source));
  const double mb = bytes / (1024.0 * 1024.0);
  const double pages = bytes / fp7::kPageSize;

  const double plain = Seconds([&] { PlainRead(source); });
  const double quiet = Seconds([&] { Recover(source, dir / "out"); });
  const fs::path logPath = dir / "bench.log";
  g_Log.Open(logPath.string().c_str(), true);
  const double logged = Seconds([&] { Recover(source, dir / "out"); });
  const double logBytes = static_cast<double>(fs::file_size(logPath));
  g_Log.Open(logPath.string().c_str(), true);
  const double dump = Seconds([&] { DumpAllPages(source); });
  const double dumpBytes = static_cast<double>(fs::file_size(logPath));
  g_Log.Close();
  fs::remove(logPath);

  std::printf("\n%.0f MiB, %zu tables, %zu records, %.0f pages\n", mb, shape.tables, shape.records,
              pages);
  std::printf("%-32s %9s %11s %9s %12s %11s\n", "", "seconds", "pages/s", "MB/s", "records/s",
              "time/plain");
  const auto row = [&](const char* name, double seconds) {
    std::printf("%-32s %9.2f %11.0f %9.1f %12.0f %11.1f\n", name, seconds, pages / seconds,
                mb / seconds, shape.records / seconds, seconds / plain);
  };
  row("plain sequential read", plain);
  row("recovery, no log", quiet);
  row("recovery, with log", logged);
  row("dump of all pages to the log", dump);
  std::printf("log of the recovery %.0f MiB; dump alone %.0f MiB; with log / without %.2f\n",
              logBytes / 1048576.0, dumpBytes / 1048576.0, logged / quiet);
  fs::remove(source);
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status =
          CheckUsage(argc, argv, 0,
                     "usage: bench_fp7_recovery\n\nBuilds fp7 files of growing size in a temporary "
                     "folder and prints how fast they are recovered.\n")) {
    return *status;
  }
  TempDir dir;
  for (const Fp7Shape& shape :
       {Fp7Shape{16, 1, 50000}, Fp7Shape{64, 10, 250000}, Fp7Shape{256, 50, 1000000}}) {
    Measure(dir, shape);
  }
  return 0;
}
