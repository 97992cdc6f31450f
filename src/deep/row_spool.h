// The rows of a table on their way to the writer: bytes written once to a temporary file in the
// target folder, then read back once from its start. The file is named "<table>.qrx-spool" so
// that a person who finds one left by a killed run sees what it was; it is removed by Remove and
// by the destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"

namespace deep {

class RowSpool {
 public:
  RowSpool() = default;
  RowSpool(const RowSpool&) = delete;
  RowSpool& operator=(const RowSpool&) = delete;
  ~RowSpool();

  // Creates a new spool file "<base>.qrx-spool" in `folder` (ending with a separator), or
  // "<base>_<n>.qrx-spool" when that name is taken. False when none can be made (see Failure).
  bool Create(const std::u16string& folder, const std::u16string& base);
  // Appends bytes. False once anything has failed.
  bool Write(const void* bytes, size_t count);
  // Ends the writing and opens the file for reading from its start.
  bool StartReading();
  // Reads exactly `count` bytes; false (with a Failure) when the file holds fewer.
  bool Read(void* bytes, size_t count);
  // Closes and deletes the file.
  void Remove();
  // The file and the system's reason for the first failure; empty while all went well.
  const std::string& Failure() const { return failure_; }

 private:
  static constexpr size_t kBufferSize = 64 * 1024;

  bool Flush();
  bool Fail();

  qrx::platform::File file_;
  std::u16string path_;
  std::string failure_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;  // writing: bytes pending; reading: bytes held
  size_t next_ = 0;  // reading: the next byte of the buffer
};

}  // namespace deep
