// Whole recoveries of a small fp5 and a small fp7 file, through FileRecover with its log on, with
// each of the library's heap allocations failing in turn (only that one, and that one with every
// later one). Every run ends with a documented code, writes only into its target folder and logs
// the allocation lines where a failure costs an item; the sanitizer build also proves that nothing
// leaks.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "platform/heap.h"
#include "qrx/qrx.h"
#include "support/damage.h"
#include "support/paged_databases.h"
#include "support/recovery_sandbox.h"

namespace {

using qrx::heap::Failing;

// The allocation lines of the log that a run wrote.
std::set<std::string> AllocationLines(const std::string& log) {
  static const std::vector<std::string> kLines = {
      "can not allocate ", "can not realloc ", "can not create new CDataOfField",
      "can not create new CWasData", "NO memory to allocate for Field Data"};
  std::set<std::string> found;
  for (const std::string& line : kLines) {
    if (log.find(line) != std::string::npos) found.insert(line);
  }
  return found;
}

// Sweeps every allocation of the recovery of `bytes`; returns the allocation lines seen.
std::set<std::string> Sweep(const std::vector<uint8_t>& bytes, Failing failing) {
  RecoverySandbox sandbox;
  qrx::heap::ResetCounting();
  EXPECT_EQ(sandbox.Recover(bytes), QRX_OK);
  const uint64_t allocations = qrx::heap::AllocationCount();
  EXPECT_GT(allocations, 20u);
  std::set<std::string> seen;
  for (uint64_t failAt = 1; failAt <= allocations; ++failAt) {
    qrx::heap::ResetCounting(failAt, failing);
    const int32_t result = sandbox.Recover(bytes);
    qrx::heap::ResetCounting();
    EXPECT_TRUE(IsDocumentedResult(result)) << "allocation " << failAt << ": " << result;
    EXPECT_TRUE(sandbox.Strays().empty()) << "allocation " << failAt;
    const std::set<std::string> lines = AllocationLines(sandbox.Log());
    seen.insert(lines.begin(), lines.end());
  }
  std::printf("[ sweep ] %llu allocations\n", static_cast<unsigned long long>(allocations));
  return seen;
}

TEST(AllocationFailure, EveryAllocationOfAnFp5Recovery) {
  const std::vector<uint8_t> bytes = Fp5WithIdlePages().bytes;
  const std::set<std::string> expected = {"can not allocate ", "can not realloc ",
                                          "can not create new CDataOfField",
                                          "can not create new CWasData"};
  EXPECT_EQ(Sweep(bytes, Failing::kOnlyThatOne), expected);
  EXPECT_EQ(Sweep(bytes, Failing::kFromThenOn), expected);
}

TEST(AllocationFailure, EveryAllocationOfAnFp7Recovery) {
  const std::vector<uint8_t> bytes = Fp7WithIdlePages().bytes;
  const std::set<std::string> expected = {"can not allocate ", "can not create new CDataOfField"};
  EXPECT_EQ(Sweep(bytes, Failing::kOnlyThatOne), expected);
  EXPECT_EQ(Sweep(bytes, Failing::kFromThenOn), expected);
}

}  // namespace
