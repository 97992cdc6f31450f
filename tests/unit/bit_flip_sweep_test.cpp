// Every single-bit flip of a small fp7 file and of a small fp5 file, each recovered through
// FileRecover: no crash, no sanitizer report, a documented code, nothing outside the target folder.
//
// By default the sweep takes every seventh byte (all eight bits of it) of the pages behind the
// file's start; QRX_FULL_SWEEP=1 in the environment flips every bit of the whole file:
//   QRX_FULL_SWEEP=1 build-asan/bin/qrx_unit_tests --gtest_filter='BitFlipSweep.*'
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/fp5_builder.h"
#include "support/fp7_builder.h"
#include "support/recovery_sandbox.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool FullSweep() {
  const char* full = std::getenv("QRX_FULL_SWEEP");
  return full != nullptr && std::string(full) == "1";
}

// Recovers every flipped variant and tells how many still ended with QRX_OK.
void Sweep(const Bytes& file, size_t pagesStart, const char* format) {
  RecoverySandbox sandbox(false);
  ASSERT_EQ(sandbox.Recover(file), QRX_OK);
  const bool full = FullSweep();
  size_t runs = 0, recovered = 0;
  for (size_t at = full ? 0 : pagesStart; at < file.size(); at += full ? 1 : 7) {
    for (int bit = 0; bit < 8; ++bit) {
      Bytes flipped = file;
      flipped[at] ^= static_cast<uint8_t>(1u << bit);
      const int32_t result = sandbox.Recover(flipped);
      ++runs;
      recovered += result == QRX_OK ? 1 : 0;
      ASSERT_TRUE(IsDocumentedResult(result)) << "byte " << at << " bit " << bit << ": " << result;
      ASSERT_TRUE(sandbox.Strays().empty()) << "byte " << at << " bit " << bit;
    }
  }
  std::printf("[ sweep ] %s: %zu flips, %zu still recovered\n", format, runs, recovered);
}

TEST(BitFlipSweep, SmallFp7) {
  std::vector<fp7::Table> tables = fp7::SampleTables(1, 3);
  tables[0].containers = {{1, "a.bin", {1, 2, 3, 4}}};
  const Bytes file = fp7::BuildDatabase(tables);
  ASSERT_EQ(file.size(), fp7::kFileStart + fp7::kPageSize);
  Sweep(file, fp7::kFileStart, "fp7");
}

TEST(BitFlipSweep, SmallFp5) {
  using namespace fp5build;
  Fp5FileBuilder builder;
  builder.AddDefinitions({{3, {2}}}, {{1, "Name"}, {2, "Born"}, {3, "Notes"}});
  builder.AddRecords({{Fp5Id::Auto(1),
                       {Fp5Field::Value(1, "Ann"), Fp5Field::Value(2, "5.1.1999"),
                        Fp5Field::LongText(3, {"first piece ", "second"})}},
                      {Fp5Id::TwoBytes(300), {Fp5Field::Value(1, "Bob")}}});
  const Bytes file = builder.Build();
  Sweep(file, kStartSize, "fp5");
}

}  // namespace
