// What the whole-recovery fuzzers check of every run: the input is written as the source file and
// recovered into a fresh folder; a code the interface does not document, or anything written
// outside the target folder, is a finding (the sanitizers catch the rest).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/recovery_sandbox.h"

inline void RecoverAndCheck(RecoverySandbox& sandbox, const uint8_t* data, size_t size) {
  const int32_t result = sandbox.Recover(std::vector<uint8_t>(data, data + size));
  if (!IsDocumentedResult(result)) {
    std::fprintf(stderr, "undocumented result %d\n", static_cast<int>(result));
    std::abort();
  }
  for (const auto& stray : sandbox.Strays()) {
    std::fprintf(stderr, "written outside the target folder: %s\n", stray.c_str());
    std::abort();
  }
}
