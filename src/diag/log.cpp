#include "diag/log.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/machine.h"
#include "platform/memory.h"
#include "platform/module.h"
#include "platform/text.h"

namespace platform = qrx::platform;

KtLog::KtLog() : stamp_(platform::Now()) {
  // One second back, so that the very first line gets its time stamp.
  stamp_.second = (stamp_.second + 59) % 60;
}

bool KtLog::Open(const std::u16string& path, bool truncate) {
  Close();
  if (!path.empty()) {
    file_ = platform::File::Create(
        path, truncate ? platform::Disposition::kCreateAlways : platform::Disposition::kOpenAlways);
    if (file_.IsOpen() && !truncate) file_.SeekToEnd();
  }
  Enable();
  return true;
}

bool KtLog::Open(const char* path, bool truncate) {
  return Open(ToWide(path != nullptr ? path : ""), truncate);
}

void KtLog::Close() {
  std::lock_guard<std::recursive_mutex> hold(writeLock_);
  file_.Close();
}

void KtLog::Enable() {
  enabled_ = true;
}

void KtLog::WriteLine(const char* text) {
  if (!enabled_) return;
  const std::string_view body = text != nullptr ? text : "";
  std::lock_guard<std::recursive_mutex> hold(writeLock_);
  if (!file_.IsOpen()) return;
  const platform::LocalTime now = platform::Now();
  char stampLine[32] = {};
  if (now.hour != stamp_.hour || now.minute != stamp_.minute || now.second != stamp_.second) {
    stamp_ = now;
    std::snprintf(stampLine, sizeof stampLine, "[%02d:%02d:%02d]\n", now.hour, now.minute,
                  now.second);
  }
  // One write per line, without touching the heap: a crash never leaves half a line, threads
  // cannot split one, and logging works when memory has run out.
  file_.WriteGather({stampLine, body, "\n"});
}

void KtLog::WriteFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatV(format, args);
  va_end(args);
}

void KtLog::WriteFormatV(const char* format, va_list args) {
  if (!enabled_ || format == nullptr) return;
  std::lock_guard<std::recursive_mutex> hold(formatLock_);
  std::vsnprintf(message_, sizeof message_, format, args);
  WriteLine(message_);
}

void KtLog::WriteHex(const void* block, uint32_t length) {
  if (!platform::IsReadable(block, length)) {
    WriteLine("The binary data here seems to be an invalid memory block");
    WriteFormat("There is no way to show it, the pointer was 0x%08" PRIXPTR,
                reinterpret_cast<uintptr_t>(block));
    return;
  }
  static const char kDigits[] = "0123456789ABCDEF";
  constexpr size_t kLineLength = 78;
  const auto* bytes = static_cast<const unsigned char*>(block);
  if (length == 0) {
    WriteLine("");
    return;
  }
  for (uint32_t offset = 0; offset < length; offset += 16) {
    char line[kLineLength + 1];
    std::memset(line, ' ', kLineLength);
    line[kLineLength] = '\0';
    for (int digit = 0; digit < 8; ++digit)
      line[digit] = kDigits[(offset >> (28 - 4 * digit)) & 0xF];
    line[8] = ':';
    line[60] = '|';
    for (uint32_t k = 0; k < 16 && offset + k < length; ++k) {
      const unsigned char b = bytes[offset + k];
      line[11 + 3 * k] = kDigits[b >> 4];
      line[12 + 3 * k] = kDigits[b & 0xF];
      line[62 + k] = b >= 0x20 ? static_cast<char>(b) : '.';
    }
    WriteLine(line);
  }
}

void KtLog::WriteMachineInfo() {
  static const char kRule[] = "====================================================";
  WriteLine(kRule);
  WriteLine("============== LOGGER MACHINE INFO =================");
  WriteLine(kRule);
  WriteFormat("__DATE__ [%s]", __DATE__);
  WriteFormat("__TIME__ [%s]", __TIME__);
  const std::string own = platform::OwnModulePath();
  if (!own.empty()) WriteFormat("Logging output for [%s]", own.c_str());
  const struct {
    const char* label;
    std::optional<std::string> value;
  } facts[] = {
      {"GetCurrentDirectory", platform::CurrentDirectory()},
      {"GetSystemDirectory", platform::SystemDirectory()},
      {"GetWindowsDirectory", platform::WindowsDirectory()},
      {"GetTempPath", platform::TempDirectory()},
      {"GetComputerName", platform::ComputerName()},
  };
  for (const auto& fact : facts) {
    if (fact.value) WriteFormat("%s [%s]", fact.label, fact.value->c_str());
  }
  WriteLine(kRule);
}

void Logger::OpenLog(const std::u16string& path) {
  Open(path, false);
  WriteMachineInfo();
}

void Logger::LogFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatV(format, args);
  va_end(args);
}

void Logger::LogPair(const char* label, const char* value) {
  if (value == nullptr) {
    LogFormat("%s [null]", label);
  } else {
    LogFormat("%s [%s]", label, value);
  }
}

void Logger::LogNumber(const char* label, int32_t number) {
  LogFormat("%s [%d]", label, number);
}

void Logger::LogError(const char* text) {
  LogFormat("[ERROR]: %s", text);
  WriteLine(text);
}
