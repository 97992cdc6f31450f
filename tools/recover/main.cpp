// qrx-recover: recovers a damaged FileMaker Pro database into dBase tables through the qrx
// library's exports, showing the passes and the progress, and prints the recovery report.
//
// Before anything is recovered the program checks what a person may have got wrong (a log that
// cannot be written, a source that cannot be read, a target folder that cannot be made or already
// holds files) and says so in plain words. It creates nothing itself: the library makes the target
// folder once the source has been read.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "host_strings.h"
#include "host_system.h"
#include "platform/text.h"
#include "progress_view.h"
#include "qrx/qrx.h"
#include "report_view.h"
#include "target_folder.h"

namespace {

namespace platform = qrx::platform;

volatile uint8_t g_breakByte = 0;
ProgressView* g_view = nullptr;
bool g_hostStrings = false;

void RequestStop() {
  g_breakByte = 1;
}

std::string Shown(const qrx_utf16_t* text) {
  const std::u16string wide = text != nullptr ? text : u"";
  return platform::ToValidUtf8(g_hostStrings ? TranslateKey(wide) : wide);
}

// A name from the command line, as a person reads it.
std::string Shown(const std::string& name) {
  return platform::ToValidUtf8(platform::FromUtf8(name));
}

void QRX_CALL OnDiagnostic(const qrx_utf16_t* text) {
  g_view->Diagnostic(Shown(text));
}

void QRX_CALL OnProgress(const qrx_utf16_t* text, int32_t percent) {
  g_view->Progress(Shown(text), percent);
}

int Fail(const std::string& message, int exitStatus) {
  std::fprintf(stderr, "qrx-recover: %s\n", message.c_str());
  return exitStatus;
}

// Refuses a target that cannot be made or written into, or that already holds files and no
// --force was given; the exit status to end with, or nothing to go on.
std::optional<int> RefusedTarget(const CommandLine& line) {
  const std::string target = Shown(line.target);
  const std::string why = WhyTargetCannotBeUsed(line.target);
  if (!why.empty()) {
    return Fail(
        "cannot use " + target + " as the target folder: " + why + "; choose another target folder",
        5);
  }
  const size_t held = ListFolder(line.target).size();
  if (held != 0 && !line.force) {
    return Fail("the target folder " + target + " already holds " + std::to_string(held) +
                    (held == 1 ? " entry" : " entries") +
                    "; recover into an empty or new folder, or give --force to recover into it "
                    "anyway (tables there are kept, stored files of the same name replaced)",
                2);
  }
  return std::nullopt;
}

RunOutcome OutcomeOf(int32_t result, const CommandLine& line, const std::string& sourceProblem,
                     const FolderChanges& files) {
  const std::string source = Shown(line.source);
  switch (result) {
    case QRX_OK:
      return {result, 0, "recovered"};
    case QRX_CANNOT_OPEN: {
      const std::string why =
          !sourceProblem.empty() ? sourceProblem : WhySourceCannotBeRead(line.source);
      return {result, 3,
              "cannot open " + source + ": " +
                  (why.empty() ? "the system refused it (the log says more)" : why)};
    }
    case QRX_NOTHING_TO_RECOVER:
      return {result, 4,
              "nothing to recover in " + source +
                  ": the file is empty, not an fp5 or fp7 database, or holds no readable table"};
    case QRX_WRITE_FAILED:
      return {result, 5,
              std::string("some result files could not be written in ") + Shown(line.target) +
                  (files.kept.empty() ? "" : " (tables already there are never overwritten)") +
                  "; the report marks the tables concerned and the log names each file and why"};
    case QRX_STOPPED:
      return {result, 130, "stopped at your request"};
    default:
      return {result, 1,
              line.logPath.empty()
                  ? "the recovery failed; run again with --log FILE to learn why"
                  : "the recovery failed; the log " + Shown(line.logPath) + " says why"};
  }
}

}  // namespace

int main(int argc, char** argv) {
  int exitStatus = 0;
  const std::optional<CommandLine> parsed = ParseCommandLine(Arguments(argc, argv), exitStatus);
  if (!parsed) return exitStatus;
  const CommandLine& line = *parsed;

  if (!line.logPath.empty()) {
    const std::string why = WhyLogCannotBeWritten(line.logPath);
    if (!why.empty()) return Fail("cannot write the log " + Shown(line.logPath) + ": " + why, 2);
  }
  // An unreadable source goes to the library all the same, which logs it and creates nothing.
  const std::string sourceProblem = WhySourceCannotBeRead(line.source);
  if (sourceProblem.empty()) {
    if (const std::optional<int> refused = RefusedTarget(line)) return *refused;
  }
  const std::vector<FolderEntry> before = ListFolder(line.target);

  ProgressView view(stderr, StderrIsTerminal(), TerminalWidth());
  g_view = &view;
  g_hostStrings = line.hostStrings && LoadHostStrings();
  DllInitialize(u"qrx-recover", OnDiagnostic, OnProgress);
  if (!line.logPath.empty()) SetLogPath(platform::FromUtf8(line.logPath).c_str());
  UseExternStatusStrings(line.hostStrings ? 1 : 0);
  SetBreakFlag(&g_breakByte);
  OnFirstInterrupt(RequestStop);

  const std::u16string source = platform::FromUtf8(line.source);
  const std::u16string target = platform::FromUtf8(line.target);
  const qrx_options options{sizeof(qrx_options),
                            line.classic ? uint32_t{QRX_MODE_CLASSIC} : QRX_MODE_DEEP,
                            line.utf8 ? uint32_t{QRX_ENCODING_UTF8} : QRX_ENCODING_WINDOWS_1252};
  const int32_t result = FileRecoverEx(source.c_str(), target.c_str(), &options);
  view.Finish();

  const FolderChanges files = CompareFolder(before, ListFolder(line.target));
  const RunOutcome outcome = OutcomeOf(result, line, sourceProblem, files);
  const Report report = FetchReport();
  if (line.json) {
    std::fputs(FormatReportJson(report, outcome, files).c_str(), stdout);
  } else if (result == QRX_OK || !report.rows.empty()) {
    std::fputs(FormatReportTable(report, files).c_str(), stdout);
  }
  if (result != QRX_OK) Fail(outcome.message, outcome.exitStatus);
  return outcome.exitStatus;
}
