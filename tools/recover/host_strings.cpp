#include "host_strings.h"

#include "host_system.h"
#include "qrx/qrx.h"

namespace {
using GetStringProc = const qrx_utf16_t* (*)(const qrx_utf16_t*);
GetStringProc g_getString = nullptr;
}  // namespace

bool LoadHostStrings() {
  // Beside the program in the build tree, beside the library in an installed package.
  for (const std::string& folder :
       {ExecutableFolder(), ModuleFolderOf(reinterpret_cast<const void*>(&FileRecover))}) {
    g_getString = reinterpret_cast<GetStringProc>(
        LoadModuleFunction(folder + "ktcmn" + kModuleSuffix, "GetString"));
    if (g_getString != nullptr) return true;
  }
  return false;
}

std::u16string TranslateKey(const std::u16string& key) {
  if (g_getString == nullptr) return key;
  const qrx_utf16_t* text = g_getString(key.c_str());
  return text != nullptr ? std::u16string(text) : key;
}
