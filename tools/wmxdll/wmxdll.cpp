// The host module that marks where the host's string library lives. A host that is not the
// command-line program (a script loading the library through ctypes, say) loads this module first;
// the library then finds ktcmn beside it.
#include <stdint.h>

#include "qrx/qrx.h"

extern "C" QRX_EXPORT int32_t WmxHostRevision(void) {
  return 1;
}
