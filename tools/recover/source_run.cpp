#include "source_run.h"

#include <optional>

#include "host_system.h"
#include "platform/text.h"
#include "qrx/qrx.h"

namespace {

namespace platform = qrx::platform;

std::optional<RunOutcome> RefusedTarget(const CommandLine& line, const std::string& folder) {
  const std::string target = ShownName(folder);
  const std::string why = WhyTargetCannotBeUsed(folder);
  if (!why.empty()) {
    return RunOutcome{std::nullopt, 5,
                      "cannot use " + target + " as the target folder: " + why +
                          "; choose another target folder"};
  }
  const size_t held = ListFolder(folder).size();
  if (held != 0 && !line.force) {
    return RunOutcome{std::nullopt, 2,
                      "the target folder " + target + " already holds " + std::to_string(held) +
                          (held == 1 ? " entry" : " entries") +
                          "; recover into an empty or new folder, or give --force to recover into "
                          "it anyway (tables there are kept, stored files of the same name "
                          "replaced)"};
  }
  return std::nullopt;
}

RunOutcome OutcomeOf(int32_t result, const CommandLine& line, const SourceRun& run,
                     const std::string& sourceProblem) {
  const std::string source = ShownName(run.source);
  switch (result) {
    case QRX_OK:
      return {result, 0, "recovered"};
    case QRX_CANNOT_OPEN: {
      const std::string why =
          !sourceProblem.empty() ? sourceProblem : WhySourceCannotBeRead(run.source);
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
              "some result files could not be written in " + ShownName(run.target) +
                  (run.files.kept.empty() ? "" : " (tables already there are never overwritten)") +
                  "; the report marks the tables concerned and the log names each file and why"};
    case QRX_STOPPED:
      return {result, 130, "stopped at your request"};
    default:
      return {result, 1,
              line.logPath.empty()
                  ? "the recovery failed; run again with --log FILE to learn why"
                  : "the recovery failed; the log " + ShownName(line.logPath) + " says why"};
  }
}

}  // namespace

SourceRun RecoverSource(const CommandLine& line, const std::string& source,
                        const std::string& target, ProgressView& view) {
  SourceRun run;
  run.source = source;
  run.target = target;
  // An unreadable source goes to the library all the same, which logs it and creates nothing.
  const std::string sourceProblem = WhySourceCannotBeRead(source);
  if (sourceProblem.empty()) {
    if (std::optional<RunOutcome> refused = RefusedTarget(line, target)) {
      run.outcome = std::move(*refused);
      return run;
    }
  }
  const std::vector<FolderEntry> before = ListFolder(target);
  const size_t reportRowsBefore = FetchReport().rows.size();
  const qrx_options options{sizeof(qrx_options),
                            line.classic ? uint32_t{QRX_MODE_CLASSIC} : QRX_MODE_DEEP,
                            line.utf8 ? uint32_t{QRX_ENCODING_UTF8} : QRX_ENCODING_WINDOWS_1252,
                            line.formats,
                            line.csvByteOrderMark ? 1u : 0u,
                            0};
  const int32_t result = FileRecoverEx(platform::FromUtf8(source).c_str(),
                                       platform::FromUtf8(target).c_str(), &options);
  view.Finish();
  run.ran = true;
  run.files = CompareFolder(before, ListFolder(target));
  run.report = FetchReport(reportRowsBefore);
  run.outcome = OutcomeOf(result, line, run, sourceProblem);
  return run;
}
