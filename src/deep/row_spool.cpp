#include "deep/row_spool.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace platform = qrx::platform;

namespace deep {
namespace {

constexpr unsigned kNameTries = 100;
constexpr std::u16string_view kExtension = u".qrx-spool";

}  // namespace

RowSpool::~RowSpool() {
  Remove();
}

bool RowSpool::Create(const std::u16string& folder, const std::u16string& base) {
  Remove();
  buffer_.resize(kBufferSize);
  for (unsigned attempt = 1; attempt <= kNameTries; ++attempt) {
    // The name becomes the spool's only once its file is made: a name left half built by a
    // failed allocation never names a file to remove.
    std::u16string path = folder + base;
    if (attempt > 1) {
      path += u'_';
      path += ToWide(std::to_string(attempt));
    }
    path += kExtension;
    file_ = platform::File::Create(path, platform::Disposition::kCreateNew);
    if (file_.IsOpen()) {
      path_ = std::move(path);
      return true;
    }
    const uint32_t error = platform::LastError();
    if (!platform::PathExists(path) || attempt == kNameTries) {
      if (failure_.empty()) failure_ = ToNarrow(path) + ": " + platform::ErrorText(error);
      break;
    }
  }
  return false;
}

bool RowSpool::Write(const void* bytes, size_t count) {
  const auto* from = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    if (!file_.IsOpen() || !failure_.empty()) return false;
    if (used_ == buffer_.size() && !Flush()) return false;
    const size_t taken = std::min(count, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, from, taken);
    used_ += taken;
    from += taken;
    count -= taken;
  }
  return file_.IsOpen() && failure_.empty();
}

bool RowSpool::Flush() {
  if (used_ > 0 && !file_.Write(buffer_.data(), used_)) return Fail();
  used_ = 0;
  return true;
}

bool RowSpool::StartReading() {
  if (!file_.IsOpen() || !failure_.empty() || !Flush()) return false;
  if (!file_.Close()) return Fail();
  file_ = platform::File::OpenForRead(path_);
  if (!file_.IsOpen()) return Fail();
  used_ = next_ = 0;
  return true;
}

bool RowSpool::Read(void* bytes, size_t count) {
  auto* to = static_cast<uint8_t*>(bytes);
  while (count > 0) {
    if (next_ == used_) {
      used_ = file_.Read(buffer_.data(), buffer_.size());
      next_ = 0;
      if (used_ == 0) {
        if (failure_.empty()) failure_ = ToNarrow(path_) + ": ends before the rows written to it";
        return false;
      }
    }
    const size_t taken = std::min(count, used_ - next_);
    std::memcpy(to, buffer_.data() + next_, taken);
    next_ += taken;
    to += taken;
    count -= taken;
  }
  return true;
}

void RowSpool::Remove() {
  file_.Close();
  if (!path_.empty()) platform::DeleteFile(path_);
  path_.clear();
  used_ = next_ = 0;
}

bool RowSpool::Fail() {
  if (failure_.empty()) {
    failure_ = ToNarrow(path_) + ": " + platform::ErrorText(platform::LastError());
  }
  return false;
}

}  // namespace deep
