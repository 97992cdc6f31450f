// The real databases written by the database program itself (an fp5 and two fp7 files), kept
// outside the repository in ../shared/samples/real. Tests that need them skip with a message
// naming the folder when it is missing; in continuous integration (CI=true) on a machine that has
// the shared folder they fail instead.
#pragma once

#include <filesystem>
#include <string>

// The path of `relative` under the real samples folder, or an empty path when it is missing.
std::filesystem::path RealSample(const std::string& relative);
// Why `relative` is missing, and where the real samples belong.
std::string RealSampleMissing(const std::string& relative);
// Whether a missing real sample fails the test rather than skipping it: in continuous integration
// (CI=true) when ../shared stands beside the repository.
bool RealSamplesRequired();

// Declares `variable` (in a GoogleTest test body) as the real sample `relative`, or ends the
// test: a skip, or a failure in CI.
#define QRX_REAL_SAMPLE_OR_SKIP(variable, relative)                   \
  const std::filesystem::path variable = RealSample(relative);        \
  if (variable.empty()) {                                             \
    if (RealSamplesRequired()) FAIL() << RealSampleMissing(relative); \
    GTEST_SKIP() << RealSampleMissing(relative);                      \
  }
