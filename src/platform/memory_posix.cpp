#include <sys/resource.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

#include "platform/memory.h"

namespace qrx::platform {

bool IsReadable(const void* block, size_t length) {
  if (block == nullptr) return false;
  // Ask the kernel to copy the block out of our own address space: it answers EFAULT for an
  // unmapped page instead of faulting. Where the call is not permitted, trust the pointer.
  char scratch[4096];
  const auto* bytes = static_cast<const char*>(block);
  for (size_t done = 0; done < length;) {
    const size_t n = length - done < sizeof scratch ? length - done : sizeof scratch;
    iovec local{scratch, n};
    iovec remote{const_cast<char*>(bytes + done), n};
    if (::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0) < 0) return errno != EFAULT;
    done += n;
  }
  return true;
}

size_t PeakResidentBytes() {
  rusage usage{};
  // Linux counts the peak in KiB.
  return ::getrusage(RUSAGE_SELF, &usage) == 0 ? static_cast<size_t>(usage.ru_maxrss) * 1024 : 0;
}

}  // namespace qrx::platform
