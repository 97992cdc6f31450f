// The files of the operating system: the source database, the log, the result tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

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
  // Opens a file for writing as the disposition says.
  static File Create(const std::u16string& path, Disposition disposition);

  bool IsOpen() const { return fd_ >= 0; }
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
  // False when the system reports that the bytes written could not all be saved.
  bool Close();

 private:
  explicit File(int fd) : fd_(fd) {}
  int fd_ = -1;
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
// Names of the entries of a directory, without "." and ".."; empty when it cannot be read.
std::vector<std::u16string> ListDirectory(const std::u16string& path);

}  // namespace qrx::platform
