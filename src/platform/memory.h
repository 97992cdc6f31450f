// Questions about memory that diagnostics ask.
#pragma once

#include <cstddef>

namespace qrx::platform {

// Whether `length` bytes at `block` can be read without a fault. A null block never can.
bool IsReadable(const void* block, size_t length);

// The most memory this process has held in RAM at any one time so far, in bytes.
size_t PeakResidentBytes();

}  // namespace qrx::platform
