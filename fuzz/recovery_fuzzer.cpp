// Runs a whole recovery over any bytes, as a host does: the input is written as the source file and
// FileRecover, with its log on, determines the format and lets the matching parser write its tables
// into a fresh folder. A read or write outside a buffer, a hang, a leak, a code the interface does
// not document, or anything written outside the target folder is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/recovery_sandbox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RecoverySandbox sandbox;
  const int32_t result = sandbox.Recover(std::vector<uint8_t>(data, data + size));
  if (!IsDocumentedResult(result)) {
    std::fprintf(stderr, "undocumented result %d\n", static_cast<int>(result));
    std::abort();
  }
  for (const auto& stray : sandbox.Strays()) {
    std::fprintf(stderr, "written outside the target folder: %s\n", stray.c_str());
    std::abort();
  }
  return 0;
}
