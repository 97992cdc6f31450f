// Whole recoveries as a host runs them: through the library's C interface, from a source file in a
// fresh folder into a target folder beside it, with the log written next to both. Afterwards the
// sandbox can tell whether anything was written where it does not belong.
//
// Only the C interface is used, so the sandbox works with the shared library as well as with the
// library's internals linked directly (tests, fuzz targets).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/temp_dir.h"

// The names that the source, the target folder and the log take in the sandbox.
struct SandboxNames {
  std::filesystem::path source = "source";
  std::filesystem::path target = "target";
  std::filesystem::path log = "recovery.log";
};

// Options of a deep recovery into dBase tables in `encoding`, every other field at its default.
inline qrx_options DeepOptions(uint32_t encoding = QRX_ENCODING_WINDOWS_1252) {
  qrx_options options{};
  options.size = sizeof options;
  options.mode = QRX_MODE_DEEP;
  options.encoding = encoding;
  return options;
}

class RecoverySandbox {
 public:
  // `withLog`: every recovery writes its diagnostic log to log().
  explicit RecoverySandbox(bool withLog = true, const SandboxNames& names = {});

  // Later recoveries go through FileRecoverEx with these options (by default FileRecover).
  void UseOptions(const qrx_options& options) { options_ = options; }
  // Called with true right before the library's recovery call and with false right after it,
  // with none of the sandbox's own work between (for tests that count what the library does).
  void AroundRecovery(std::function<void(bool starting)> around) { around_ = std::move(around); }

  // Writes `bytes` as the source file, removes the target folder, and recovers. Returns
  // FileRecover's code. Each recovery starts a new log.
  int32_t Recover(const std::vector<uint8_t>& bytes);
  // Recovers any source into any target (paths the test prepared itself).
  int32_t Recover(const std::filesystem::path& source, const std::filesystem::path& target);

  const std::filesystem::path& root() const { return dir_.path(); }
  const std::filesystem::path& source() const { return source_; }
  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& logPath() const { return logPath_; }
  std::string Log() const { return ReadFileText(logPath_); }

  // What a recovery left where it must not: entries of the sandbox other than the source, the log
  // and the target folder, and anything inside the target folder that is not a plain file
  // (folders, links). Empty when the recovery kept to its target folder.
  std::vector<std::filesystem::path> Strays() const;
  // The plain files of the target folder, by name.
  std::vector<std::string> Outputs() const;

 private:
  TempDir dir_;
  bool withLog_;
  std::filesystem::path source_;
  std::filesystem::path target_;
  std::filesystem::path logPath_;
  std::optional<qrx_options> options_;
  std::function<void(bool starting)> around_;
};

// Whether FileRecover's interface documents `result` as one of its codes.
bool IsDocumentedResult(int32_t result);
