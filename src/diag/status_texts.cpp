#include "diag/status_texts.h"

#include <algorithm>
#include <string_view>

char16_t DoneText[kStatusTextSize];
char16_t PassLabel[kStatusTextSize];
char16_t Pass1Text[kStatusTextSize];
char16_t Pass2Text[kStatusTextSize];
char16_t Pass3Text[kStatusTextSize];

namespace {

void Put(char16_t (&buffer)[kStatusTextSize], std::u16string_view text) {
  std::fill(std::begin(buffer), std::end(buffer), u'\0');
  std::copy_n(text.begin(), std::min<size_t>(text.size(), kStatusTextSize - 1), buffer);
}

}  // namespace

void SetBuiltinTexts() {
  Put(DoneText, u"done");
  Put(PassLabel, u"Pass");
  Put(Pass1Text, u"analyzing database");
  Put(Pass2Text, u"recovering columns schema");
  Put(Pass3Text, u"recovering table rows");
}

void SetExternKeys() {
  Put(DoneText, u"App/Resources/DllStrings/qrx/Done");
  Put(Pass1Text, u"App/Resources/DllStrings/qrx/Pass1");
  Put(Pass2Text, u"App/Resources/DllStrings/qrx/Pass2");
  Put(Pass3Text, u"App/Resources/DllStrings/qrx/Pass3");
}
