#include "ktcmn.h"

#include <string_view>

namespace {

struct Translation {
  std::u16string_view key;
  const char16_t* text;
};

constexpr Translation kTranslations[] = {
    {u"App/Resources/DllStrings/qrx/Pass1", u"analyzing database"},
    {u"App/Resources/DllStrings/qrx/Pass2", u"recovering columns schema"},
    {u"App/Resources/DllStrings/qrx/Pass3", u"recovering table rows"},
    {u"App/Resources/DllStrings/qrx/Done", u"done"},
};

int32_t g_initialValue = 0;

}  // namespace

extern "C" {

QRX_EXPORT int32_t Initialize(int32_t value) {
  g_initialValue = value;
  return 1;
}

QRX_EXPORT const qrx_utf16_t* GetString(const qrx_utf16_t* key) {
  if (key == nullptr) return nullptr;
  for (const Translation& translation : kTranslations) {
    if (translation.key == key) return translation.text;
  }
  return key;
}

}  // extern "C"
