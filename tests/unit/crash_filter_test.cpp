#include "api/crash_filter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "api/library_state.h"
#include "api/recovery_driver.h"
#include "diag/log.h"
#include "support/temp_dir.h"

namespace {

void DieOf(int signal, const std::string& logPath) {
  g_Log.Open(logPath.c_str(), true);
  InstallCrashFilter();
  if (signal == SIGABRT) std::abort();
  std::raise(signal);
}

TEST(CrashFilterDeathTest, FaultOutsideARecoveryLogsMemoryAndBothParsersAbsent) {
  for (const int signal : {SIGSEGV, SIGABRT}) {
    TempDir dir;
    const std::string logPath = (dir / "crash.log").string();
    EXPECT_EXIT(DieOf(signal, logPath), ::testing::ExitedWithCode(128 + signal), "");
    const std::string log = ReadFileText(logPath);
    size_t at = 0;
    for (const std::string& expected :
         {std::string("File "), std::string(", Line "), std::string(", Time "),
          std::string("ERROR IN FILE RECOVER: UnhandledExceptionFilter\n"),
          std::string("The MEMORYSTATUS structure is 32 bytes long;it should be 32.\n\n\n"),
          std::string("There is  "), std::string(" percent of memory in use.\n\n"),
          std::string(" total Kbytes of physical memory.\n\n"),
          std::string(" free Kbytes of physical memory.\n\n"),
          std::string("FileMaker8parser not created\nFileMaker5parser not created\n"
                      "End of UnhandledExceptionFilter catching\n")}) {
      const size_t found = log.find(expected, at);
      ASSERT_NE(found, std::string::npos) << expected << "\nin:\n" << log;
      at = found + expected.size();
    }
  }
}

// A host whose progress callback faults while the fp7 parser writes rows.
void IgnoreDiag(const char16_t*) {}
void FaultingStatusBar(const char16_t* text, int32_t) {
  if (std::u16string_view(text).starts_with(u"Writing row data... 3")) {
    volatile uintptr_t address = 16;  // a real fault, past any null check
    *reinterpret_cast<volatile int*>(address) = 1;
  }
}

void RecoverWithFaultingHost(const std::string& logPath) {
  g_strLogPath = Utf16(logPath);
  g_WriteDiag = IgnoreDiag;
  g_StatusBar = FaultingStatusBar;
  const std::u16string source = Utf16(std::string(QRX_SAMPLES_DIR) + "/damaged.fp7") + u'*';
  FileRecoverImpl(source.c_str(), Utf16(logPath + ".out").c_str());
}

TEST(CrashFilterDeathTest, FaultDuringAnFp7RecoveryDumpsTheParserState) {
  TempDir dir;
  const std::string logPath = (dir / "crash.log").string();
  EXPECT_EXIT(RecoverWithFaultingHost(logPath), ::testing::ExitedWithCode(128 + SIGSEGV), "");
  const std::string log = ReadFileText(logPath);
  size_t at = log.find("ERROR IN FILE RECOVER: UnhandledExceptionFilter");
  ASSERT_NE(at, std::string::npos) << log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
  for (const std::string& expected :
       {std::string(" free Kbytes of physical memory.\n"), std::string("Loaded Page:"),
        std::string("Current saved records :"), std::string("Total records founded:"),
        std::string("Current collected records:"), std::string("Page dump:"),
        std::string("00000000:  "), std::string("FileMaker5parser not created\n"),
        std::string("End of UnhandledExceptionFilter catching\n")}) {
    const size_t found = log.find(expected, at);
    ASSERT_NE(found, std::string::npos) << expected;
    at = found + expected.size();
  }
  EXPECT_EQ(log.find("FileMaker8parser not created"), std::string::npos);
}

}  // namespace
