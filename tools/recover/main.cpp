// qrx-recover: recovers a damaged FileMaker Pro database into dBase tables through the qrx
// library's exports, showing the passes and the progress, and prints the recovery report.
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "host_strings.h"
#include "host_system.h"
#include "platform/text.h"
#include "progress_view.h"
#include "qrx/qrx.h"
#include "report_view.h"

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

void QRX_CALL OnDiagnostic(const qrx_utf16_t* text) {
  g_view->Diagnostic(Shown(text));
}

void QRX_CALL OnProgress(const qrx_utf16_t* text, int32_t percent) {
  g_view->Progress(Shown(text), percent);
}

struct Outcome {
  int exitStatus;
  const char* message;
};

Outcome OutcomeOf(int32_t result) {
  switch (result) {
    case QRX_OK:
      return {0, "recovered"};
    case QRX_CANNOT_OPEN:
      return {3, "cannot open the source file"};
    case QRX_NOTHING_TO_RECOVER:
      return {4,
              "nothing to recover: the file is empty, not an fp5/fp7 database, or holds no "
              "readable table"};
    case QRX_WRITE_FAILED:
      return {5, "a result file could not be written in the target folder"};
    case QRX_STOPPED:
      return {130, "stopped at your request"};
    default:
      return {1, "the recovery failed (the log, if one was asked for, says why)"};
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Arguments(argc, argv);
  std::string error;
  const std::optional<CommandLine> line = ParseCommandLine(args, error);
  if (!line) {
    std::fprintf(stderr, "qrx-recover: %s\n\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (line->help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (line->version) {
    std::printf("qrx-recover %s (library interface %d)\n", QRX_VERSION_TEXT, GetDllVersion());
    return 0;
  }

  if (!PrepareTargetFolder(line->target, error)) {
    std::fprintf(stderr, "qrx-recover: %s\n", error.c_str());
    return OutcomeOf(QRX_WRITE_FAILED).exitStatus;
  }
  ProgressView view(StderrIsTerminal(), TerminalWidth());
  g_view = &view;
  g_hostStrings = line->hostStrings && LoadHostStrings();
  DllInitialize(u"qrx-recover", OnDiagnostic, OnProgress);
  if (!line->logPath.empty()) SetLogPath(platform::FromUtf8(line->logPath).c_str());
  UseExternStatusStrings(line->hostStrings ? 1 : 0);
  SetBreakFlag(&g_breakByte);
  OnFirstInterrupt(RequestStop);

  // The library drops the last unit of the source argument.
  const std::u16string source = platform::FromUtf8(line->source) + u' ';
  const std::u16string target = platform::FromUtf8(line->target);
  const int32_t result = FileRecover(source.c_str(), target.c_str(), nullptr);
  view.Finish();

  const Outcome outcome = OutcomeOf(result);
  const Report report = FetchReport();
  if (line->json) {
    std::fputs(FormatReportJson(report, result, outcome.message).c_str(), stdout);
  } else if (result == QRX_OK || !report.rows.empty()) {
    std::fputs(FormatReportTable(report).c_str(), stdout);
  }
  if (result != QRX_OK) {
    std::fprintf(stderr, "qrx-recover: %s (code %d): %s\n", outcome.message, result,
                 line->source.c_str());
  }
  return outcome.exitStatus;
}
