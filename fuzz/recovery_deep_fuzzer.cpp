// Runs a whole deep recovery over any bytes: FileRecoverEx in deep mode, with its log on, under the
// same checks as the classic recovery fuzzer. It starts from the same seeds.
#include "recovery_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RecoverySandbox sandbox;
  static const bool deep = [] {
    sandbox.UseOptions({sizeof(qrx_options), QRX_MODE_DEEP, QRX_ENCODING_WINDOWS_1252});
    return true;
  }();
  (void)deep;
  RecoverAndCheck(sandbox, data, size);
  return 0;
}
