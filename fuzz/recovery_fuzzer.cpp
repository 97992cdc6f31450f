// Runs a whole recovery over any bytes, as a host does: the input is written as the source file and
// FileRecover, with its log on, determines the format and lets the matching parser write its tables
// into a fresh folder. A read or write outside a buffer, a hang, a leak, a code the interface does
// not document, or anything written outside the target folder is a finding.
#include "recovery_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RecoverySandbox sandbox;
  RecoverAndCheck(sandbox, data, size);
  return 0;
}
