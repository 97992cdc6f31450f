#include "support/recovery_sandbox.h"

#include <algorithm>

#include "qrx/qrx.h"

namespace fs = std::filesystem;

namespace {

void QRX_CALL IgnoreDiag(const qrx_utf16_t*) {}
void QRX_CALL IgnoreStatus(const qrx_utf16_t*, int32_t) {}

bool IsInside(const fs::path& path, const fs::path& folder) {
  const auto [end, unused] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return end == folder.end();
}

}  // namespace

RecoverySandbox::RecoverySandbox(bool withLog, const SandboxNames& names)
    : withLog_(withLog),
      source_(dir_.path() / names.source),
      target_(dir_.path() / names.target),
      logPath_(dir_.path() / names.log) {}

int32_t RecoverySandbox::Recover(const std::vector<uint8_t>& bytes) {
  std::error_code ignored;
  fs::remove_all(target_, ignored);
  WriteFileBytes(source_, bytes);
  return Recover(source_, target_);
}

int32_t RecoverySandbox::Recover(const fs::path& source, const fs::path& target) {
  std::error_code ignored;
  fs::remove(logPath_, ignored);
  DllInitialize(nullptr, IgnoreDiag, IgnoreStatus);
  SetLogPath(withLog_ ? Utf16(logPath_).c_str() : u"");
  UseExternStatusStrings(0);
  SetBreakFlag(nullptr);
  // The source argument of FileRecover carries one extra unit, which the library drops.
  const std::u16string sourceArgument = options_ ? Utf16(source) : Utf16(source) + u'*';
  const std::u16string targetArgument = Utf16(target);
  if (around_) around_(true);
  const int32_t result =
      options_ ? FileRecoverEx(sourceArgument.c_str(), targetArgument.c_str(), &*options_)
               : FileRecover(sourceArgument.c_str(), targetArgument.c_str(), nullptr);
  if (around_) around_(false);
  SetLogPath(u"");
  return result;
}

std::vector<fs::path> RecoverySandbox::Strays() const {
  std::vector<fs::path> strays;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(dir_.path(), error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path& path = it->path();
    const fs::file_status status = it->symlink_status();
    if (path == source_ || path == logPath_) continue;
    if (path == target_ && fs::is_directory(status)) continue;
    if (IsInside(path, target_) && fs::is_regular_file(status)) continue;
    strays.push_back(path);
  }
  if (error) strays.push_back(dir_.path() / ("<unreadable: " + error.message() + ">"));
  return strays;
}

std::vector<std::string> RecoverySandbox::Outputs() const {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(target_, error)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::map<std::string, std::vector<unsigned char>> RecoverySandbox::OutputContents() const {
  std::map<std::string, std::vector<unsigned char>> files;
  for (const std::string& name : Outputs()) files[name] = ReadFileBytes(target_ / name);
  return files;
}

bool IsDocumentedResult(int32_t result) {
  switch (result) {
    case QRX_OK:
    case QRX_FAILURE:
    case QRX_NOTHING_TO_RECOVER:
    case QRX_CANNOT_OPEN:
    case QRX_PASSED_THROUGH:
    case QRX_WRITE_FAILED:
    case QRX_STOPPED:
      return true;
    default:
      return false;
  }
}
