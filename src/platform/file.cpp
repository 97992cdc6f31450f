// What the files of both platforms share: ownership of the handle and the counting of writes.
#include <utility>

#include "platform/file.h"

namespace qrx::platform {
namespace {

FaultCounter g_writes;

}  // namespace

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), createdNew_(other.createdNew_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
    createdNew_ = other.createdNew_;
  }
  return *this;
}

File::~File() {
  Close();
}

bool File::WriteMayProceed() const {
  if (!createdNew_ || g_writes.NextMayProceed()) return true;
  SetDiskFullError();
  return false;
}

void ResetWriteCounting(uint64_t failAt, Failing failing) {
  g_writes.Reset(failAt, failing);
}

uint64_t WriteCount() {
  return g_writes.Count();
}

}  // namespace qrx::platform
