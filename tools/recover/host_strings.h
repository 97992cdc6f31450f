// Translation of the library's resource keys through the host's string library ktcmn.
#pragma once

#include <string>

// Loads ktcmn from beside the executable or the qrx library; false when it or its GetString is
// missing.
bool LoadHostStrings();
// The text for a key, or the key itself when there is no translation (or no ktcmn).
std::u16string TranslateKey(const std::u16string& key);
