// One result file (a table, its memo file, a stored file) while it is written. It is created new
// under a temporary name beside its final name and only gets the final name when it is complete,
// so a run that is killed half-way never leaves a file that looks finished: what it leaves keeps
// its temporary name, and the next run picks another one.
//
// The first failure (of the create, a write, the close or the rename) is kept with the system's
// reason; every later operation then does nothing, and the temporary file is removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"

class ResultFile {
 public:
  ResultFile() = default;
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;
  // A file neither committed nor discarded is discarded.
  ~ResultFile();

  // Creates the temporary file for `finalPath`. False when it cannot be made (see Failure).
  bool Create(const std::u16string& finalPath);
  bool IsOpen() const { return file_.IsOpen(); }
  bool Failed() const { return !failure_.empty(); }
  // The file and the system's reason for the first failure; empty while all went well.
  const std::string& Failure() const { return failure_; }
  const std::u16string& FinalPath() const { return finalPath_; }

  // Appends bytes at the end. False once anything has failed.
  bool Append(const void* bytes, size_t count);
  // Replaces bytes already appended, starting at `offset` (headers rewritten at the end).
  bool Overwrite(uint64_t offset, const void* bytes, size_t count);
  // Bytes appended so far.
  uint64_t Size() const { return flushed_ + pending_; }

  // Writes what is pending, closes the file and gives it its final name, which must still be
  // free. False, with the temporary file removed, when any step failed now or before.
  bool Commit();
  // Closes and removes the temporary file.
  void Discard();

 private:
  static constexpr size_t kBufferSize = 16 * 1024;

  bool Flush();
  // Keeps the first failure, naming `path`, and removes the temporary file.
  bool Fail(const std::u16string& path);
  bool Fail(const std::u16string& path, uint32_t error);

  qrx::platform::File file_;
  std::u16string finalPath_;
  std::u16string tempPath_;
  std::string failure_;
  uint64_t flushed_ = 0;
  size_t pending_ = 0;
  uint8_t buffer_[kBufferSize];
};
