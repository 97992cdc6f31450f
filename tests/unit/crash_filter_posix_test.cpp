#include "api/crash_filter.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>
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
  const auto crashFilter = InstallCrashFilter();
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

// A host with crash handling of its own, as a child process sets it up: its handler for SIGSEGV
// (ending the process with status 42), the default action for the other fatal signals, its own
// alternate signal stack, and no core files.
constexpr int kHostHandlerStatus = 42;
alignas(16) char g_hostStack[64 * 1024];

void HostHandler(int, siginfo_t*, void*) {
  _exit(kHostHandlerStatus);
}

void SetUpHostCrashHandling() {
  const rlimit noCores{0, 0};
  setrlimit(RLIMIT_CORE, &noCores);
  stack_t stack{};
  stack.ss_sp = g_hostStack;
  stack.ss_size = sizeof g_hostStack;
  sigaltstack(&stack, nullptr);
  for (const int signal : {SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(signal, SIG_DFL);
  struct sigaction host {};
  host.sa_sigaction = HostHandler;
  host.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&host.sa_mask);
  sigaction(SIGSEGV, &host, nullptr);
}

// Whether the host's alternate stack and its default actions are in place (what it set for SIGSEGV
// and SIGBUS shows when they are raised).
bool HostCrashHandlingInPlace() {
  stack_t stack{};
  sigaltstack(nullptr, &stack);
  bool inPlace = stack.ss_sp == g_hostStack && (stack.ss_flags & SS_DISABLE) == 0;
  for (const int signal : {SIGFPE, SIGILL, SIGABRT}) {
    struct sigaction action {};
    sigaction(signal, nullptr, &action);
    inPlace = inPlace && action.sa_handler == SIG_DFL;
  }
  return inPlace;
}

void RecoverWithFaultingHost(const std::string& source, const std::string& logPath) {
  SetUpHostCrashHandling();
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

// The ways out of a recovery: its end, a return before the parser runs (no diagnostic callback),
// and an exception thrown by the host's progress callback.
enum class WayOut { kEnd, kEarlyReturn, kException };

void QuietStatusBar(const char16_t*, int32_t) {}
void ThrowingStatusBar(const char16_t*, int32_t) {
  throw std::runtime_error("host failure");
}

// Recovers `source` and leaves the way asked for, then checks the host's crash handling and meets
// `signal`. Exit status 3: the host's handling was not back.
void RecoverThenFault(const std::string& source, const std::string& logPath, WayOut way,
                      int signal) {
  SetUpHostCrashHandling();
  g_strLogPath = Utf16(logPath);
  g_WriteDiag = way == WayOut::kEarlyReturn ? nullptr : IgnoreDiag;
  g_StatusBar = way == WayOut::kException ? ThrowingStatusBar : QuietStatusBar;
  try {
    FileRecoverImpl((Utf16(source) + u'*').c_str(), Utf16(logPath + ".out").c_str());
  } catch (const std::runtime_error&) {
  }
  if (!HostCrashHandlingInPlace()) _exit(3);
  std::raise(signal);
}

TEST(CrashFilterDeathTest, TheHostsCrashHandlingIsBackByEveryWayOutOfARecovery) {
  TempDir dir;
  const std::string logPath = (dir / "crash.log").string();
  const std::string source = std::string(QRX_SAMPLES_DIR) + "/damaged.fp7";
  for (const WayOut way : {WayOut::kEnd, WayOut::kEarlyReturn, WayOut::kException}) {
    SCOPED_TRACE(static_cast<int>(way));
    EXPECT_EXIT(RecoverThenFault(source, logPath, way, SIGSEGV),
                ::testing::ExitedWithCode(kHostHandlerStatus), "");
    EXPECT_EXIT(RecoverThenFault(source, logPath, way, SIGBUS), ::testing::KilledBySignal(SIGBUS),
                "");
  }
  // The runs did reach each way out, and no report came from the faults after them.
  const std::string log = ReadFileText(logPath);
  EXPECT_NE(log.find("[ERROR]: !WriteDiag"), std::string::npos);
  EXPECT_NE(log.find("Wrote Diag [done]"), std::string::npos);
  EXPECT_EQ(log.find("UnhandledExceptionFilter"), std::string::npos);
}

}  // namespace
