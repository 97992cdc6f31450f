#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "platform/file.h"
#include "platform/text.h"

namespace qrx::platform {

File File::OpenForRead(const std::u16string& path) {
  const int fd = ::open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return File();
  struct stat info {};
  // A folder opens for reading on POSIX but holds no bytes: refuse it as Windows does.
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return File();
  }
  return File(fd, false);
}

File File::Create(const std::u16string& path, Disposition disposition) {
  // A symbolic link planted at the path is never followed out of the folder.
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  if (disposition == Disposition::kCreateNew) flags |= O_EXCL;
  if (disposition == Disposition::kCreateAlways) flags |= O_TRUNC;
  const int fd = ::open(ToUtf8(path).c_str(), flags, 0644);
  return fd < 0 ? File() : File(fd, disposition == Disposition::kCreateNew);
}

void File::SetDiskFullError() {
  errno = ENOSPC;
}

uint64_t File::Size() const {
  struct stat info {};
  if (handle_ < 0 || ::fstat(handle_, &info) != 0 || info.st_size < 0) return 0;
  return static_cast<uint64_t>(info.st_size);
}

bool File::Seek(uint64_t offset) {
  return handle_ >= 0 && ::lseek(handle_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool File::SeekToEnd() {
  return handle_ >= 0 && ::lseek(handle_, 0, SEEK_END) >= 0;
}

size_t File::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (handle_ >= 0 && done < count) {
    const ssize_t n = ::read(handle_, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

namespace {

bool WriteAll(int fd, const char* bytes, size_t count) {
  size_t done = 0;
  while (fd >= 0 && done < count) {
    const ssize_t n = ::write(fd, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return done == count;
}

}  // namespace

bool File::Write(const void* buffer, size_t count) {
  return WriteMayProceed() && WriteAll(handle_, static_cast<const char*>(buffer), count);
}

bool File::WriteGather(std::initializer_list<std::string_view> pieces) {
  if (!WriteMayProceed()) return false;
  iovec vectors[8];
  size_t count = 0;
  size_t total = 0;
  for (std::string_view piece : pieces) {
    if (count == 8) return false;
    vectors[count++] = {const_cast<char*>(piece.data()), piece.size()};
    total += piece.size();
  }
  ssize_t n;
  do {
    n = ::writev(handle_, vectors, static_cast<int>(count));
  } while (n < 0 && errno == EINTR);
  if (n < 0) return false;
  if (static_cast<size_t>(n) == total) return true;
  // A short write: finish piece by piece from where it stopped.
  size_t skip = static_cast<size_t>(n);
  for (std::string_view piece : pieces) {
    const size_t drop = std::min(skip, piece.size());
    skip -= drop;
    if (!WriteAll(handle_, piece.data() + drop, piece.size() - drop)) return false;
  }
  return true;
}

bool File::Close() {
  return handle_ < 0 || ::close(std::exchange(handle_, kNoHandle)) == 0;
}

uint32_t LastError() {
  return static_cast<uint32_t>(errno);
}

namespace {

// strerror_r comes in two forms: the GNU one returns the text (which need not be the buffer), the
// POSIX one fills the buffer and returns a status.
[[maybe_unused]] const char* TextOf(const char* gnuText, const char*) {
  return gnuText;
}
[[maybe_unused]] const char* TextOf(int, const char* buffer) {
  return buffer;
}

}  // namespace

std::string ErrorText(uint32_t error) {
  char buffer[256] = {};
  return TextOf(strerror_r(static_cast<int>(error), buffer, sizeof buffer), buffer);
}

bool DeleteFile(const std::u16string& path) {
  // Converted on the stack: a table or spool is removed also when memory has run out. A path
  // longer than the system takes fails as the system would fail it.
  char native[PATH_MAX];
  if (!ToUtf8Into(path, native)) {
    errno = ENAMETOOLONG;
    return false;
  }
  return ::unlink(native) == 0;
}

bool CreateDirectory(const std::u16string& path) {
  return ::mkdir(ToUtf8(path).c_str(), 0755) == 0 || (errno == EEXIST && IsDirectory(path));
}

bool IsDirectory(const std::u16string& path) {
  struct stat info {};
  return ::stat(ToUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PathExists(const std::u16string& path) {
  struct stat info {};
  return ::lstat(ToUtf8(path).c_str(), &info) == 0;
}

bool RenameNoReplace(const std::u16string& from, const std::u16string& to) {
  const std::string source = ToUtf8(from);
  const std::string destination = ToUtf8(to);
  // A hard link is made only where nothing stands; the old name then goes. Where the file system
  // has no hard links, renameat2 refuses to replace as well.
  if (::link(source.c_str(), destination.c_str()) == 0) return ::unlink(source.c_str()) == 0;
  if (errno == EEXIST) return false;
  return ::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) ==
         0;
}

std::vector<std::u16string> ListDirectory(const std::u16string& path) {
  std::vector<std::u16string> names;
  // Closed also when memory runs out while the names are gathered.
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(ToUtf8(path).c_str()), ::closedir);
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(FromUtf8(name));
  }
  return names;
}

}  // namespace qrx::platform
