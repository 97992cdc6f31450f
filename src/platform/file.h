// The files of the operating system: the source database, the log, the result tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fault_counter.h"

namespace qrx::platform {

// How Create treats an existing file.
enum class Disposition {
  kCreateNew,     // fails when the file exists
  kCreateAlways,  // replaces an existing file
  kOpenAlways,    // opens an existing file, creates a missing one
};

// An open file handle. Move-only; the destructor closes a handle still open.
class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens an existing file for reading. Others may read it too.
  static File OpenForRead(const std::u16string& path);
  // Opens a file for writing as the disposition says. kCreateNew never follows a link and never
  // opens an existing file, so what it writes lands in a file of its own.
  static File Create(const std::u16string& path, Disposition disposition);

  bool IsOpen() const { return handle_ != kNoHandle; }
  // The file's size in bytes; 0 when it cannot be read.
  uint64_t Size() const;
  bool Seek(uint64_t offset);
  bool SeekToEnd();
  // Reads up to count bytes at the current position; returns the count read (0 at the end or on
  // failure).
  size_t Read(void* buffer, size_t count);
  // Writes all count bytes at the current position; false when not all were written.
  bool Write(const void* buffer, size_t count);
  // Writes the pieces one after the other in one system call where it can, so that concurrent
  // writers of the same file never split them.
  bool WriteGather(std::initializer_list<std::string_view> pieces);
  // Closes the handle; false when the system reports that written data did not reach the file.
  bool Close();

 private:
  // A file descriptor on POSIX, a HANDLE on Windows; -1 is neither.
  static constexpr intptr_t kNoHandle = -1;
  File(intptr_t handle, bool createdNew) : handle_(handle), createdNew_(createdNew) {}
  // Whether the write may go ahead; writes of files created new are counted for the tests.
  bool WriteMayProceed() const;
  // Makes LastError tell of a full disk, for a write that a test made fail.
  static void SetDiskFullError();

  intptr_t handle_ = kNoHandle;
  bool createdNew_ = false;
};

// The error code of the last failed call on this thread (errno on POSIX).
uint32_t LastError();
// A short English description of such an error code, for the log.
std::string ErrorText(uint32_t error);

bool DeleteFile(const std::u16string& path);
// Creates one directory; true also when it exists already.
bool CreateDirectory(const std::u16string& path);
bool IsDirectory(const std::u16string& path);
// Whether anything (a file, a folder, a link) stands at the path.
bool PathExists(const std::u16string& path);
// Renames a file; fails, leaving both names as they were, when something stands at `to` already.
bool RenameNoReplace(const std::u16string& from, const std::u16string& to);
// Names of the entries of a directory, without "." and ".."; empty when it cannot be read.
std::vector<std::u16string> ListDirectory(const std::u16string& path);

// Test hooks: writes to files created new (the result files; the log is opened, not created new)
// are counted from 1 since the last reset, and the write numbered `failAt` (0: none) fails as on
// a full disk; with Failing::kFromThenOn every later one fails too.
void ResetWriteCounting(uint64_t failAt = 0, Failing failing = Failing::kFromThenOn);
uint64_t WriteCount();

}  // namespace qrx::platform
