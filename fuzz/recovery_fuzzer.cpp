// Runs a whole recovery over any bytes: the input is the source file; the format is determined
// from its pages and the matching parser writes its tables into a fresh folder. A read or write
// outside a buffer, a hang, a leak, or a file written outside the target folder is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "api/recovery_driver.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TempDir dir;
  static const fs::path source = dir / "input";
  static const fs::path target = dir / "out";
  {
    std::ofstream out(source, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  RunRecovery(source.u16string().c_str(), target.u16string().c_str());
  for (const fs::directory_entry& entry : fs::directory_iterator(dir.path())) {
    const fs::path name = entry.path().filename();
    if (name != "input" && name != "out") std::abort();  // something escaped the target folder
  }
  fs::remove_all(target);
  return 0;
}
