#include "api/recovery_driver.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "api/crash_filter.h"
#include "api/library_state.h"
#include "api/required_info.h"
#include "deep/fp5_recovery.h"
#include "deep/fp7_recovery.h"
#include "diag/log.h"
#include "diag/result_codes.h"
#include "diag/status_link.h"
#include "diag/status_texts.h"
#include "diag/table_results.h"
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

// What FileRecover and FileRecoverEx share: the crash filter, the log, the host link and the first
// pass's announcement around `recover`, which gets the source path and the target folder.
template <typename Recover>
int32_t WithHostLink(const std::u16string& sourcePath, const char16_t* targetDir,
                     const Recover& recover) {
  const qrx::platform::FatalFaultGuard crashFilter = InstallCrashFilter();
  g_TableResults.Clear();
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
  const int32_t result = recover(sourcePath.c_str(), target);
  return IsKnownResult(result) ? result : kResultFailure;
}

// Opens the source; 0, or the code to return (logged).
int32_t OpenSource(CFileConnector& connector, const char16_t* sourcePath) {
  const int32_t opened = connector.OpenSource(sourcePath);
  if (opened == kResultCannotOpen) LogWhySourceCannotBeOpened(sourcePath);
  if (opened == kResultNothing) g_Log.LogLine("The source file is empty");
  return opened;
}

// The format as the scans of every page tell it; 0 when unknown or the host asked to stop.
int32_t ScannedVersion(CFileConnector& connector) {
  // Each tester engine holds a read-ahead run of its own; both go before a parser reads.
  return std::make_unique<CVersion>()->DetermineVersion(&connector, BreakRequested);
}

bool LogStop() {
  if (!BreakRequested()) return false;
  g_Log.LogLine("BreakFlag");
  return true;
}

// What the file header names: both formats open with a common magic, which fp7 files follow
// with "HBAM7".
enum class HeaderFormat { kNone, kFp5, kFp7 };

HeaderFormat HeaderFormatOf(qrx::platform::File& file) {
  static constexpr uint8_t kMagic[] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01,
                                       0x00, 0x05, 0x00, 0x02, 0x00, 0x02, 0xC0};
  static constexpr uint8_t kFp7[] = {'H', 'B', 'A', 'M', '7'};
  uint8_t header[sizeof kMagic + sizeof kFp7] = {};
  if (!file.Seek(0) || file.Read(header, sizeof header) != sizeof header ||
      !std::equal(std::begin(kMagic), std::end(kMagic), header)) {
    return HeaderFormat::kNone;
  }
  return std::equal(std::begin(kFp7), std::end(kFp7), header + sizeof kMagic) ? HeaderFormat::kFp7
                                                                              : HeaderFormat::kFp5;
}

int32_t RunDeepRecovery(const char16_t* sourcePath, const std::u16string& targetDir,
                        const deep::Options& options) {
  CFileConnector connector;
  if (const int32_t opened = OpenSource(connector, sourcePath); opened != 0) return opened;
  // The header decides at once (the scan of every page costs memory that grows with the file);
  // without one, the pages' own markers do. A file that nothing names is read as fp7.
  const HeaderFormat header = HeaderFormatOf(connector.m_hFile);
  const int32_t version = header == HeaderFormat::kFp7   ? 7
                          : header == HeaderFormat::kFp5 ? 5
                                                         : ScannedVersion(connector);
  if (LogStop()) return kResultBreak;
  if (version == 5) {
    return deep::RecoverFp5(connector.m_hFile, connector.m_nFileSize, sourcePath, targetDir,
                            options);
  }
  return deep::RecoverFp7(connector.m_hFile, connector.m_nFileSize, sourcePath, targetDir, options);
}

// The options as the library knows them, or nullopt when they ask for what it does not have.
std::optional<deep::Options> DeepOptionsOf(const qrx_options& options) {
  constexpr uint32_t kKnownFormats = QRX_FORMAT_DBF | QRX_FORMAT_SQLITE | QRX_FORMAT_CSV;
  if (options.encoding > QRX_ENCODING_UTF8 || (options.formats & ~kKnownFormats) != 0 ||
      options.csvByteOrderMark > 1 || options.listOnly > 1) {
    return std::nullopt;
  }
#if !QRX_HAVE_SQLITE
  if ((options.formats & QRX_FORMAT_SQLITE) != 0) {
    g_Log.LogError("FileRecoverEx: this build of the library writes no SQLite databases");
    return std::nullopt;
  }
#endif
  deep::Options deepOptions;
  deepOptions.encoding = options.encoding == QRX_ENCODING_UTF8 ? deep::OutputEncoding::kUtf8
                                                               : deep::OutputEncoding::kWindows1252;
  // Internally no format at all is the listing, which writes nothing.
  deepOptions.formats = options.listOnly == 1  ? 0
                        : options.formats == 0 ? QRX_FORMAT_DBF
                                               : options.formats;
  deepOptions.csvByteOrderMark = options.csvByteOrderMark == 1;
  return deepOptions;
}

// The caller's options over the defaults, as far as the caller's struct reaches.
std::optional<qrx_options> KnownOptions(const qrx_options* given) {
  qrx_options options{
      sizeof(qrx_options), QRX_MODE_DEEP, QRX_ENCODING_WINDOWS_1252, QRX_FORMAT_DBF, 0, 0};
  if (given == nullptr) return options;
  if (given->size < sizeof(uint32_t)) return std::nullopt;
  std::memcpy(&options, given, std::min<size_t>(given->size, sizeof options));
  options.size = sizeof options;
  if (options.mode > QRX_MODE_CLASSIC) return std::nullopt;
  return options;
}

}  // namespace

int32_t FileRecoverImpl(const char16_t* sourceArgument, const char16_t* targetDir) {
  return WithHostLink(SourcePathOf(sourceArgument), targetDir,
                      [](const char16_t* source, const std::u16string& target) {
                        return RunRecovery(source, target.c_str());
                      });
}

int32_t FileRecoverExImpl(const char16_t* sourcePath, const char16_t* targetDir,
                          const qrx_options* given) {
  const std::optional<qrx_options> options = KnownOptions(given);
  const std::optional<deep::Options> deepOptions = options ? DeepOptionsOf(*options) : std::nullopt;
  if (!deepOptions) {
    g_Log.LogError("FileRecoverEx: options of an unknown mode, encoding or format");
    return kResultFailure;
  }
  const std::u16string source = sourcePath != nullptr ? sourcePath : u"";
  if (options->mode == QRX_MODE_CLASSIC) {
    return WithHostLink(source, targetDir, [](const char16_t* path, const std::u16string& target) {
      return RunRecovery(path, target.c_str());
    });
  }
  return WithHostLink(source, targetDir, [&](const char16_t* path, const std::u16string& target) {
    return RunDeepRecovery(path, target, *deepOptions);
  });
}

int32_t RunRecovery(const char16_t* sourcePath, const char16_t* targetDir) {
  CFileConnector connector;
  if (const int32_t opened = OpenSource(connector, sourcePath); opened != 0) return opened;
  const int32_t version = ScannedVersion(connector);
  if (LogStop()) return kResultBreak;
  const int32_t result = RunParserFor(version, connector, targetDir);
  connector.m_hFile.Close();
  return result;
}
