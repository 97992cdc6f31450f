#include "dbf/result_file.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/text.h"

namespace platform = qrx::platform;

namespace {

// Temporary names tried for one result file: <final>.partial, <final>.partial2, ...
constexpr unsigned kTemporaryNameTries = 100;

std::u16string TemporaryName(const std::u16string& finalPath, unsigned attempt) {
  std::u16string name = finalPath + u".partial";
  if (attempt > 1) name += ToWide(std::to_string(attempt).c_str());
  return name;
}

}  // namespace

ResultFile::~ResultFile() {
  Discard();
}

bool ResultFile::Create(const std::u16string& finalPath) {
  Discard();
  failure_.clear();
  finalPath_ = finalPath;
  flushed_ = 0;
  pending_ = 0;
  for (unsigned attempt = 1; attempt <= kTemporaryNameTries; ++attempt) {
    tempPath_ = TemporaryName(finalPath, attempt);
    file_ = platform::File::Create(tempPath_, platform::Disposition::kCreateNew);
    if (file_.IsOpen()) return true;
    const uint32_t error = platform::LastError();
    // A name left by an interrupted run is passed over; anything else is a failure.
    if (!platform::PathExists(tempPath_) || attempt == kTemporaryNameTries) {
      const std::u16string tried = std::move(tempPath_);
      tempPath_.clear();
      return Fail(tried, error);
    }
  }
  return false;
}

bool ResultFile::Append(const void* bytes, size_t count) {
  if (!file_.IsOpen()) return false;
  const auto* from = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    if (pending_ == kBufferSize && !Flush()) return false;
    const size_t taken = std::min(count, kBufferSize - pending_);
    std::memcpy(buffer_ + pending_, from, taken);
    pending_ += taken;
    from += taken;
    count -= taken;
  }
  return true;
}

bool ResultFile::Overwrite(uint64_t offset, const void* bytes, size_t count) {
  if (!file_.IsOpen() || !Flush()) return false;
  if (!file_.Seek(offset) || !file_.Write(bytes, count) || !file_.SeekToEnd()) {
    return Fail(tempPath_);
  }
  return true;
}

bool ResultFile::Flush() {
  if (!file_.IsOpen()) return false;
  if (pending_ == 0) return true;
  if (!file_.Write(buffer_, pending_)) return Fail(tempPath_);
  flushed_ += pending_;
  pending_ = 0;
  return true;
}

bool ResultFile::Commit() {
  if (!Flush()) return false;
  if (!file_.Close()) return Fail(tempPath_);
  if (!platform::RenameNoReplace(tempPath_, finalPath_)) return Fail(finalPath_);
  tempPath_.clear();
  return true;
}

void ResultFile::Discard() {
  file_.Close();
  if (!tempPath_.empty()) platform::DeleteFile(tempPath_);
  tempPath_.clear();
}

bool ResultFile::Fail(const std::u16string& path) {
  return Fail(path, platform::LastError());
}

bool ResultFile::Fail(const std::u16string& path, uint32_t error) {
  if (failure_.empty()) failure_ = ToNarrow(path) + ": " + platform::ErrorText(error);
  Discard();
  return false;
}
