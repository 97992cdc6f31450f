// The result codes a recovery reports to the host (FileRecover passes 0, -3, -4, -5, -20 and
// -1000 on and turns every other code into -2).
#pragma once

#include <cstdint>

enum RecoveryResult : int32_t {
  kResultOk = 0,
  kResultFailure = -2,       // host link not set up, no target folder
  kResultNothing = -3,       // empty source, unknown format, no table, nothing written
  kResultCannotOpen = -4,    // the source cannot be opened or attached
  kResultNoMemory = -6,      // no memory for a memo value
  kResultWriteFailed = -20,  // a result file (or its folder) could not be written
  kResultBreak = -1000,      // the host set the break byte
};
