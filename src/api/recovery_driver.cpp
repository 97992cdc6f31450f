#include "api/recovery_driver.h"

#include <memory>
#include <string>

#include "api/crash_filter.h"
#include "api/library_state.h"
#include "api/required_info.h"
#include "diag/log.h"
#include "diag/result_codes.h"
#include "diag/status_link.h"
#include "diag/status_texts.h"
#include "engine/file_connector.h"
#include "engine/version.h"
#include "parser/fp5_parser.h"
#include "parser8/fp7_parser.h"
#include "platform/file.h"
#include "platform/text.h"

namespace {

constexpr size_t kMaxTargetPath = 260;

bool IsKnownResult(int32_t result) {
  switch (result) {
    case kResultOk:
    case kResultNothing:
    case kResultCannotOpen:
    case -5:  // passed on as it comes, though nothing here yields it
    case kResultWriteFailed:
    case kResultBreak:
      return true;
    default:
      return false;
  }
}

// The source path is the argument without its last unit.
std::u16string SourcePathOf(const char16_t* sourceArgument) {
  std::u16string path = sourceArgument != nullptr ? sourceArgument : u"";
  if (!path.empty()) path.pop_back();
  return path;
}

// Attaches a parser of the given type to the source and runs it, with `current` naming it for the
// crash filter while its Process runs.
template <typename Parser>
int32_t RunParser(CFileConnector& connector, Parser*& current, const char16_t* targetDir) {
  const auto parser = std::make_unique<Parser>();
  if (!parser->AttachSource(&connector)) return kResultCannotOpen;
  current = parser.get();
  struct ClearOnExit {
    Parser*& current;
    ~ClearOnExit() { current = nullptr; }
  } clearOnExit{current};
  return parser->Process(targetDir);
}

int32_t RunParserFor(int32_t version, CFileConnector& connector, const char16_t* targetDir) {
  switch (version) {
    case 5:
      return RunParser(connector, g_pCurrentParser5, targetDir);
    case 7:
      return RunParser(connector, g_pCurrentParser8, targetDir);
    default:
      return kResultNothing;
  }
}

// Right after the connector failed to open the source, while the system's error is fresh.
void LogWhySourceCannotBeOpened(const char16_t* sourcePath) {
  const size_t length = sourcePath != nullptr ? std::char_traits<char16_t>::length(sourcePath) : 0;
  const std::string why = length == 0 ? "no path given"
                          : length >= CFileConnector::kMaxPath
                              ? "its path is too long"
                              : qrx::platform::ErrorText(qrx::platform::LastError());
  g_Log.LogFormat("The source file cannot be opened: %s", why.c_str());
}

}  // namespace

int32_t FileRecoverImpl(const char16_t* sourceArgument, const char16_t* targetDir) {
  const qrx::platform::FatalFaultGuard crashFilter = InstallCrashFilter();
  const std::u16string sourcePath = SourcePathOf(sourceArgument);
  if (!g_strLogPath.empty()) {
    g_Log.OpenLog(g_strLogPath);
    // The log is 8-bit text: it names the file in that form, the file opened under its full name.
    g_Log.LogPair("Log file name:", ToNarrow(g_strLogPath).c_str());
  }
  g_StatusLink.SetExternStrings(g_bExternStatusStrings);
  int32_t linked;
  try {
    linked = g_StatusLink.InitLink(g_WriteDiag, g_StatusBar, 0, 3, 30);
  } catch (const HostLibraryError&) {
    g_Log.LogError(
        "ktcmn is missing beside the host module, the program and the library, or cannot be "
        "loaded, or lacks "
        "Initialize or GetString");
    return kResultFailure;
  }
  if (linked != 0) return linked;

  const std::u16string target = targetDir != nullptr ? targetDir : u"";
  LogRequiredInformation(sourcePath.c_str(), target.c_str());
  g_StatusLink.NextPass(Pass1Text);
  g_StatusLink.SBar(u"Getting file version...", 5);
  if (target.size() >= kMaxTargetPath) {
    g_Log.LogError("Target directory path is too long");
    return kResultFailure;
  }
  const int32_t result = RunRecovery(sourcePath.c_str(), target.c_str());
  return IsKnownResult(result) ? result : kResultFailure;
}

int32_t RunRecovery(const char16_t* sourcePath, const char16_t* targetDir) {
  CFileConnector connector;
  const int32_t opened = connector.OpenSource(sourcePath);
  if (opened == kResultCannotOpen) LogWhySourceCannotBeOpened(sourcePath);
  if (opened == kResultNothing) g_Log.LogLine("The source file is empty");
  if (opened != 0) return opened;
  // Each tester engine holds a read-ahead run of its own; both go before a parser reads.
  const int32_t version =
      std::make_unique<CVersion>()->DetermineVersion(&connector, BreakRequested);
  if (BreakRequested()) {
    g_Log.LogLine("BreakFlag");
    return kResultBreak;
  }
  const int32_t result = RunParserFor(version, connector, targetDir);
  connector.m_hFile.Close();
  return result;
}
