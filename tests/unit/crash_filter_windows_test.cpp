// The crash filter as Windows runs it: an access violation that no handler takes reaches the
// unhandled-exception filter, which writes the crash report; after the recovery the host's own
// filter is back.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "api/crash_filter.h"
#include "api/library_state.h"
#include "api/recovery_driver.h"
#include "diag/log.h"
#include "support/temp_dir.h"

namespace {

constexpr int kAccessViolation = static_cast<int>(EXCEPTION_ACCESS_VIOLATION);
constexpr int kHostFilterStatus = 42;

void Fault() {
  volatile uintptr_t address = 16;  // a real fault, past any null check
  *reinterpret_cast<volatile int*>(address) = 1;
}

LONG WINAPI HostFilter(EXCEPTION_POINTERS*) {
  ::ExitProcess(kHostFilterStatus);
}

// Windows runs a death test's statement in a new process that starts the test over, so the log's
// path must be the same in both: a fixed name in the temporary folder.
std::string FixedLogPath(const std::string& name) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  return path.string();
}

void FaultUnderTheCrashFilter(const std::string& logPath) {
  g_Log.Open(logPath.c_str(), true);
  const auto crashFilter = InstallCrashFilter();
  Fault();
}

TEST(CrashFilterWindowsDeathTest, AccessViolationWritesTheReport) {
  const std::string logPath = FixedLogPath("qrx-access-violation.log");
  EXPECT_EXIT(FaultUnderTheCrashFilter(logPath), ::testing::ExitedWithCode(kAccessViolation), "");
  const std::string log = ReadFileText(logPath);
  size_t at = 0;
  for (const char* expected :
       {"ERROR IN FILE RECOVER: UnhandledExceptionFilter\n",
        "The MEMORYSTATUS structure is 32 bytes long;it should be 32.\n\n\n",
        " total Kbytes of physical memory.\n\n", " free Kbytes of physical memory.\n\n",
        "FileMaker8parser not created\nFileMaker5parser not created\n"
        "End of UnhandledExceptionFilter catching\n"}) {
    const size_t found = log.find(expected, at);
    ASSERT_NE(found, std::string::npos) << expected << "\nin:\n" << log;
    at = found;
  }
  std::filesystem::remove(logPath);
}

void IgnoreDiag(const char16_t*) {}
void QuietStatusBar(const char16_t*, int32_t) {}

void RecoverThenFault(const std::string& logPath) {
  ::SetUnhandledExceptionFilter(HostFilter);
  g_strLogPath = Utf16(logPath);
  g_WriteDiag = IgnoreDiag;
  g_StatusBar = QuietStatusBar;
  const std::string source = std::string(QRX_SAMPLES_DIR) + "/damaged.fp7";
  FileRecoverImpl((Utf16(source) + u'*').c_str(), Utf16(logPath + ".out").c_str());
  Fault();
}

TEST(CrashFilterWindowsDeathTest, TheHostsFilterIsBackAfterARecovery) {
  const std::string logPath = FixedLogPath("qrx-host-filter.log");
  EXPECT_EXIT(RecoverThenFault(logPath), ::testing::ExitedWithCode(kHostFilterStatus), "");
  const std::string log = ReadFileText(logPath);
  EXPECT_NE(log.find("Wrote Diag [done]"), std::string::npos);
  EXPECT_EQ(log.find("UnhandledExceptionFilter"), std::string::npos);
  std::error_code ignored;
  std::filesystem::remove(logPath, ignored);
  std::filesystem::remove_all(logPath + ".out", ignored);
}

}  // namespace
