#include "platform/clock.h"
#include "platform/windows_api.h"

namespace qrx::platform {

LocalTime Now() {
  SYSTEMTIME local{};
  ::GetLocalTime(&local);
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

}  // namespace qrx::platform
