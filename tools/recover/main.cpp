// qrx-recover: recovers a damaged FileMaker Pro database into dBase tables through the qrx
// library's exports, showing the passes and the progress, and prints the recovery report.
//
// Before anything is recovered the program checks what a person may have got wrong (a log that
// cannot be written, a source that cannot be read, a target folder that cannot be made or already
// holds files) and says so in plain words. It creates nothing itself: the library makes the target
// folder once the source has been read. (Given several sources, the program makes the target
// folder, once one of them can be read, and the library a folder in it for each.)
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "batch_view.h"
#include "command_line.h"
#include "host_strings.h"
#include "host_system.h"
#include "list_view.h"
#include "platform/text.h"
#include "progress_view.h"
#include "qrx/qrx.h"
#include "report_view.h"
#include "source_run.h"
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

// One source into the target folder itself: its progress, then its report.
int RecoverOne(const CommandLine& line, ProgressView& view) {
  const SourceRun run = RecoverSource(line, line.sources.front(), line.target, view);
  view.Finish();
  if (!run.ran) return Fail(run.outcome.message, run.outcome.exitStatus);
  if (line.json) {
    std::fputs(JsonText(ReportJson(run.report, run.outcome, run.files)).c_str(), stdout);
  } else if (run.outcome.result == QRX_OK || !run.report.rows.empty()) {
    std::fputs(FormatReportTable(run.report, run.files).c_str(), stdout);
  }
  if (run.outcome.result != QRX_OK) Fail(run.outcome.message, run.outcome.exitStatus);
  return run.outcome.exitStatus;
}

// The folder in `target` for `source`: its file name without the extension, numbered when an
// earlier source of the run took that name.
std::string FolderFor(const std::string& source, const std::string& target,
                      std::vector<std::string>& taken) {
  const std::u16string wide = platform::FromUtf8(source);
  const size_t slash = wide.find_last_of(kPathSeparators);
  std::u16string name = slash == std::u16string::npos ? wide : wide.substr(slash + 1);
  const size_t dot = name.rfind(u'.');
  if (dot != std::u16string::npos && dot != 0) name.resize(dot);
  if (name.empty() || name == u"." || name == u"..") name = u"source";
  std::string folder = platform::ToUtf8(name);
  for (int n = 2; std::find(taken.begin(), taken.end(), folder) != taken.end(); ++n) {
    folder = platform::ToUtf8(name) + "_" + std::to_string(n);
  }
  taken.push_back(folder);
  return target + static_cast<char>(kPathSeparators[0]) + folder;
}

// Several sources, each into a folder of its own in the target folder: a line per source, then
// the summary (or one JSON array); a failure of one does not stop the others, a stop does.
int RecoverSeveral(const CommandLine& line, ProgressView& view) {
  const bool anyReadable = std::any_of(line.sources.begin(), line.sources.end(), [](auto& source) {
    return WhySourceCannotBeRead(source).empty();
  });
  if (anyReadable) {
    const std::string why = MakeFolder(line.target);
    if (!why.empty()) {
      return Fail("cannot make the target folder " + ShownName(line.target) + ": " + why, 5);
    }
  }
  std::vector<SourceRun> runs;
  std::vector<std::string> taken;
  for (size_t i = 0; i < line.sources.size() && g_breakByte == 0; ++i) {
    const std::string& source = line.sources[i];
    std::string label = std::to_string(i + 1);
    label.append("/").append(std::to_string(line.sources.size())).append(" ");
    label.append(ShownName(source));
    view.OneLinePer(label);
    runs.push_back(RecoverSource(line, source, FolderFor(source, line.target, taken), view));
    view.Conclude(label + ": " + runs.back().outcome.message);
  }
  std::fputs((line.json ? FormatBatchJson(runs) : FormatBatchSummary(runs)).c_str(), stdout);
  return MostSeriousStatus(runs);
}

}  // namespace

int main(int argc, char** argv) {
  int exitStatus = 0;
  const std::optional<CommandLine> parsed = ParseCommandLine(Arguments(argc, argv), exitStatus);
  if (!parsed) return exitStatus;
  const CommandLine& line = *parsed;

  if (!line.logPath.empty()) {
    const std::string why = WhyLogCannotBeWritten(line.logPath);
    if (!why.empty())
      return Fail("cannot write the log " + ShownName(line.logPath) + ": " + why, 2);
  }
  ProgressView view(stderr, StderrIsTerminal(), TerminalWidth());
  g_view = &view;
  g_hostStrings = line.hostStrings && LoadHostStrings();
  DllInitialize(u"qrx-recover", OnDiagnostic, OnProgress);
  if (!line.logPath.empty()) SetLogPath(platform::FromUtf8(line.logPath).c_str());
  UseExternStatusStrings(line.hostStrings ? 1 : 0);
  SetBreakFlag(&g_breakByte);
  OnFirstInterrupt(RequestStop);
  if (line.list) return ListSource(line, view);
  return line.sources.size() == 1 ? RecoverOne(line, view) : RecoverSeveral(line, view);
}
