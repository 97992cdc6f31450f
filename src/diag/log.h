// The process-wide diagnostic log: plain narrow text, one line feed per line, a time-stamp line
// before the first line of every new second, a banner describing the machine at each opening, and
// hex dumps of memory blocks. Writing never fails visibly: with no file open, or output off, every
// line is dropped.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/file.h"

#if defined(__MINGW32__)
// MinGW's C++ runtime formats as C99 does (%zu, %llu); plain `printf` would be checked against
// the older Windows runtime.
#define QRX_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define QRX_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QRX_PRINTF_FORMAT(fmt, args)
#endif

// The log file and its two locks. Any thread may write; the format lock guards the shared message
// buffer and is always taken before the write lock.
class KtLog {
 public:
  static constexpr size_t kMessageBufferSize = 16384;

  KtLog();
  KtLog(const KtLog&) = delete;
  KtLog& operator=(const KtLog&) = delete;
  ~KtLog() = default;

  // Opens (truncate) or appends to (no truncate) the file at the path and switches output on.
  // Always true: a file that cannot be opened leaves the log silent.
  bool Open(const std::u16string& path, bool truncate);
  // The same for a path in the 8-bit code page, which holds only the characters that code page
  // has; for callers with plain ASCII paths.
  bool Open(const char* path, bool truncate);
  // The machine-info banner.
  void WriteMachineInfo();
  // Closes the file; output stays on, so a later Open writes at once.
  void Close();
  void Enable();
  // One line, preceded by "[hh:mm:ss]" when the second differs from the last stamp written.
  void WriteLine(const char* text);
  // printf-style; a message longer than 16,383 bytes is cut there.
  void WriteFormat(const char* format, ...) QRX_PRINTF_FORMAT(2, 3);
  void WriteFormatV(const char* format, va_list args);
  // 16 bytes to a 78-character line: offset, hex bytes, printable bytes.
  void WriteHex(const void* block, uint32_t length);

 private:
  bool enabled_ = false;
  qrx::platform::File file_;
  std::recursive_mutex writeLock_;  // recursive: a crash report may interrupt a write
  std::recursive_mutex formatLock_;
  char message_[kMessageBufferSize] = {};
  qrx::platform::LocalTime stamp_;
};

// The helpers every part of the library logs through.
class Logger : public KtLog {
 public:
  // Appends to the file at the path and writes the banner.
  void OpenLog(const std::u16string& path);
  void LogLine(const char* text) { WriteLine(text); }
  void LogFormat(const char* format, ...) QRX_PRINTF_FORMAT(2, 3);
  // "label [value]", or "label [null]" for a null value.
  void LogPair(const char* label, const char* value);
  // "label [number]"
  void LogNumber(const char* label, int32_t number);
  void LogHex(const void* block, uint32_t length) { WriteHex(block, length); }
  // "[ERROR]: text", then the text again on a line of its own.
  void LogError(const char* text);
};

extern Logger g_Log;
