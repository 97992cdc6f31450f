#include "api/crash_filter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

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

}  // namespace
