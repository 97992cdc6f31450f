// Whole recoveries of a small fp5 and a small fp7 file (classic and deep), with its log on, with
// each write of a result file failing in turn (only that one, and that one with every later one),
// as on a full disk. Every run ends with -20 and a log line naming the file and the system's
// reason; what it leaves in the target folder is exactly what an undisturbed run writes, less the
// tables that failed: no short table, no temporary file, nothing outside the folder, and no file
// named for a table that is not there.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "qrx/qrx.h"
#include "support/fp7_builder.h"
#include "support/paged_databases.h"
#include "support/recovery_sandbox.h"

namespace {

using qrx::Failing;
using Files = std::map<std::string, std::vector<unsigned char>>;

Files OutputsOf(const RecoverySandbox& sandbox) {
  Files files;
  for (const std::string& name : sandbox.Outputs()) {
    files[name] = ReadFileBytes(sandbox.target() / name);
  }
  return files;
}

// How the system words a full disk in the log.
#if defined(_WIN32)
const std::string kDiskFull = qrx::platform::ErrorText(112);  // ERROR_DISK_FULL
#else
constexpr char kDiskFull[] = "No space left on device";
#endif

void Sweep(const std::vector<uint8_t>& bytes, Failing failing,
           std::optional<qrx_options> options = std::nullopt) {
  RecoverySandbox sandbox;
  if (options) sandbox.UseOptions(*options);
  qrx::platform::ResetWriteCounting();
  ASSERT_EQ(sandbox.Recover(bytes), QRX_OK);
  const uint64_t writes = qrx::platform::WriteCount();
  const Files intact = OutputsOf(sandbox);
  ASSERT_GE(writes, 2u);
  for (uint64_t failAt = 1; failAt <= writes; ++failAt) {
    SCOPED_TRACE("write " + std::to_string(failAt));
    qrx::platform::ResetWriteCounting(failAt, failing);
    const int32_t result = sandbox.Recover(bytes);
    qrx::platform::ResetWriteCounting();
    EXPECT_EQ(result, QRX_WRITE_FAILED);
    EXPECT_NE(sandbox.Log().find(kDiskFull), std::string::npos);
    EXPECT_TRUE(sandbox.Strays().empty());
    const Files outputs = OutputsOf(sandbox);
    for (const auto& [name, content] : outputs) {
      const auto same = intact.find(name);
      EXPECT_TRUE(same != intact.end() && same->second == content) << name;
    }
    // The files each table is said to have are there: none that a failure removed again.
    const qrx_table_result* const* tables = nullptr;
    RecoveredTables(&tables);
    for (; *tables != nullptr; ++tables) {
      for (const qrx_utf16_t* const* file = (*tables)->files; *file != nullptr; ++file) {
        const std::string name = qrx::platform::ToUtf8(reinterpret_cast<const char16_t*>(*file));
        EXPECT_TRUE(outputs.contains(name)) << name;
      }
    }
  }
  std::printf("[ sweep ] %llu writes\n", static_cast<unsigned long long>(writes));
}

TEST(WriteFailure, EveryWriteOfAnFp5Recovery) {
  const std::vector<uint8_t> bytes = Fp5WithIdlePages().bytes;
  Sweep(bytes, Failing::kOnlyThatOne);
  Sweep(bytes, Failing::kFromThenOn);
}

TEST(WriteFailure, EveryWriteOfADeepFp7Recovery) {
  const std::vector<uint8_t> bytes =
      fp7::BuildDatabase(fp7::SampleTables(2, 40), fp7::kMaxPageData, fp7::IdForm::kAsWritten);
  const qrx_options deep = DeepOptions(QRX_ENCODING_WINDOWS_1252);
  Sweep(bytes, Failing::kOnlyThatOne, deep);
  Sweep(bytes, Failing::kFromThenOn, deep);
}

TEST(WriteFailure, EveryWriteOfAnFp7Recovery) {
  const std::vector<uint8_t> bytes = Fp7WithIdlePages().bytes;
  Sweep(bytes, Failing::kOnlyThatOne);
  Sweep(bytes, Failing::kFromThenOn);
}

}  // namespace
