#include "api/crash_filter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "api/library_state.h"
#include "api/recovery_driver.h"
#include "diag/log.h"
#include "support/fp5_builder.h"
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

// A host whose progress callback faults once the parser writes rows.
void IgnoreDiag(const char16_t*) {}
void FaultingStatusBar(const char16_t* text, int32_t) {
  if (std::u16string_view(text).starts_with(u"Writing row data... ")) {
    volatile uintptr_t address = 16;  // a real fault, past any null check
    *reinterpret_cast<volatile int*>(address) = 1;
  }
}

void RecoverWithFaultingHost(const std::string& source, const std::string& logPath) {
  g_strLogPath = Utf16(logPath);
  g_WriteDiag = IgnoreDiag;
  g_StatusBar = FaultingStatusBar;
  FileRecoverImpl((Utf16(source) + u'*').c_str(), Utf16(logPath + ".out").c_str());
}

// The crash report's lines from the fault on, in order, or the first one missing.
std::string MissingLine(const std::string& log, const std::vector<std::string>& lines) {
  size_t at = log.find("ERROR IN FILE RECOVER: UnhandledExceptionFilter");
  for (const std::string& line : lines) {
    const size_t found = at == std::string::npos ? at : log.find(line, at);
    if (found == std::string::npos) return line;
    at = found + line.size();
  }
  return "";
}

TEST(CrashFilterDeathTest, FaultDuringARecoveryNamesTheRunningParser) {
  TempDir dir;
  const std::string logPath = (dir / "crash.log").string();
  const std::string fp7Source = std::string(QRX_SAMPLES_DIR) + "/damaged.fp7";
  EXPECT_EXIT(RecoverWithFaultingHost(fp7Source, logPath), ::testing::ExitedWithCode(128 + SIGSEGV),
              "");
  std::string log = ReadFileText(logPath);
  EXPECT_EQ(
      MissingLine(
          log, {" free Kbytes of physical memory.\n", "Loaded Page:", "Current saved records :",
                "Total records founded:", "Current collected records:", "Page dump:", "00000000:  ",
                "FileMaker5parser not created\n", "End of UnhandledExceptionFilter catching\n"}),
      "");
  EXPECT_EQ(log.find("FileMaker8parser not created"), std::string::npos);

  fp5build::Fp5FileBuilder fp5;
  fp5.AddDefinitions({}, {{1, "Name"}})
      .AddRecords({{fp5build::Fp5Id::Auto(1), {fp5build::Fp5Field::Value(1, "x")}}});
  fp5.WriteTo(dir / "db.fp5");
  EXPECT_EXIT(RecoverWithFaultingHost((dir / "db.fp5").string(), logPath),
              ::testing::ExitedWithCode(128 + SIGSEGV), "");
  log = ReadFileText(logPath);
  log = log.substr(log.rfind("ERROR IN FILE RECOVER"));
  EXPECT_EQ(MissingLine(log, {"FileMaker8parser not created\n",
                              "End of UnhandledExceptionFilter catching\n"}),
            "");
  EXPECT_EQ(log.find("FileMaker5parser not created"), std::string::npos);
}

}  // namespace
