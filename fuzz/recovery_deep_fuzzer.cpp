// Runs a whole deep recovery over any bytes: FileRecoverEx in deep mode, with its log on, under the
// same checks as the classic recovery fuzzer. It starts from the same seeds.
//
// An input whose first byte is odd is laid out behind an fp5 file header (the common magic, then
// zeros up to the first block), so that most such inputs are read as fp5 blocks whatever their
// bytes; the others go as they are, and reach the fp7 or the fp5 reader by their own looks.
#include <algorithm>
#include <iterator>
#include <vector>

#include "recovery_check.h"

namespace {

constexpr uint8_t kFp5Magic[] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01,
                                 0x00, 0x05, 0x00, 0x02, 0x00, 0x02, 0xC0};
constexpr size_t kFp5FirstBlock = 2048;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RecoverySandbox sandbox;
  static const bool deep = [] {
    sandbox.UseOptions({sizeof(qrx_options), QRX_MODE_DEEP, QRX_ENCODING_WINDOWS_1252});
    return true;
  }();
  (void)deep;
  if (size == 0 || data[0] % 2 == 0) {
    RecoverAndCheck(sandbox, data, size);
    return 0;
  }
  std::vector<uint8_t> fp5(kFp5FirstBlock, 0);
  std::copy(std::begin(kFp5Magic), std::end(kFp5Magic), fp5.begin());
  fp5.insert(fp5.end(), data + 1, data + size);
  RecoverAndCheck(sandbox, fp5.data(), fp5.size());
  return 0;
}
