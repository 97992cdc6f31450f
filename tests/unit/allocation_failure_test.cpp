// Whole recoveries of a small fp5 and a small fp7 file, through FileRecover with its log on, with
// each of the library's heap allocations failing in turn (only that one, and that one with every
// later one). Every run ends with a documented code, writes only into its target folder and logs
// the allocation lines where a failure costs an item; the sanitizer build also proves that nothing
// leaks. Deep recovery takes its memory through the standard containers: there every operator new
// of the program fails in turn while the library's recovery call runs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/heap.h"
#include "qrx/qrx.h"
#include "support/damage.h"
#include "support/paged_databases.h"
#include "support/recovery_sandbox.h"
#include "support/temp_dir.h"

namespace {

// The operator new calls of the program while a test has armed the count.
std::atomic<bool> g_newsCounted{false};
qrx::FaultCounter g_news;

void* CountedNew(size_t size) {
  if (g_newsCounted.load(std::memory_order_relaxed) && !g_news.NextMayProceed()) {
    throw std::bad_alloc();
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void* operator new(size_t size) {
  return CountedNew(size);
}
void* operator new[](size_t size) {
  return CountedNew(size);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, size_t) noexcept {
  std::free(block);
}

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

using Files = std::map<std::string, std::vector<unsigned char>>;

Files OutputsOf(const RecoverySandbox& sandbox) {
  Files files;
  for (const std::string& name : sandbox.Outputs()) {
    files[name] = ReadFileBytes(sandbox.target() / name);
  }
  return files;
}

// Fails every operator new of the deep recovery of `bytes` in turn (deep recovery takes its memory
// through the standard containers; the library's own heap only in the format scan that the fp7
// sweep above covers): each run ends with the export's code for a failure (-2) or for a write that
// could not be made (-20), and leaves in its target folder only files of the undisturbed run, byte
// for byte: no half table, no spool, no temporary file.
void SweepDeep(const std::vector<uint8_t>& bytes, Failing failing) {
  RecoverySandbox sandbox;
  sandbox.UseOptions(DeepOptions(QRX_ENCODING_WINDOWS_1252));
  sandbox.AroundRecovery([](bool starting) { g_newsCounted = starting; });
  // The first run also makes what the library makes once (its strings, the log); the second
  // counts what every run allocates.
  ASSERT_EQ(sandbox.Recover(bytes), QRX_OK);
  g_news.Reset(0, failing);
  ASSERT_EQ(sandbox.Recover(bytes), QRX_OK);
  const uint64_t allocations = g_news.Count();
  const Files intact = OutputsOf(sandbox);
  ASSERT_GT(allocations, 100u);
  for (uint64_t failAt = 1; failAt <= allocations; ++failAt) {
    SCOPED_TRACE("allocation " + std::to_string(failAt));
    g_news.Reset(failAt, failing);
    const int32_t result = sandbox.Recover(bytes);
    const bool reached = g_news.Count() >= failAt;
    g_news.Reset(0, failing);
    // The report keeps the entries of every run, so a run may allocate a little less than the
    // one counted: a run that never reached the failing allocation recovers in full.
    if (reached) {
      EXPECT_TRUE(result == QRX_FAILURE || result == QRX_WRITE_FAILED) << result;
    } else {
      EXPECT_EQ(result, QRX_OK);
    }
    EXPECT_TRUE(sandbox.Strays().empty());
    for (const auto& [name, content] : OutputsOf(sandbox)) {
      const auto same = intact.find(name);
      EXPECT_TRUE(same != intact.end() && same->second == content) << name;
    }
  }
  std::printf("[ sweep ] %llu allocations\n", static_cast<unsigned long long>(allocations));
}

TEST(AllocationFailure, EveryAllocationOfADeepFp7Recovery) {
  const std::vector<uint8_t> bytes = Fp7WithIdlePages().bytes;
  SweepDeep(bytes, Failing::kOnlyThatOne);
  SweepDeep(bytes, Failing::kFromThenOn);
}

}  // namespace
