#include "diag/status_link.h"

#include <cstring>
#include <string>

#include "diag/log.h"
#include "diag/status_texts.h"
#include "platform/heap.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/text.h"

namespace platform = qrx::platform;

namespace {

// "Talvane® for FileMaker", with the registered sign as the one ANSI byte 0xAE.
constexpr char kProductName[] = "Talvane\xAE for FileMaker";
constexpr char kWebAddress[] = "https://qrx.example/";
constexpr size_t kProductTextSize = 100;
constexpr size_t kProgressTextSize = 260;
constexpr size_t kPassMessageSize = 255;

using InitializeProc = int32_t (*)(int32_t);

std::u16string Bounded(std::u16string text, size_t bufferUnits) {
  if (text.size() > bufferUnits - 1) text.resize(bufferUnits - 1);
  return text;
}

std::u16string Decimal(int32_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

// ktcmn beside the host module when the host loaded one; otherwise beside the running executable
// or, where an installed package puts it, beside this library.
std::string HostLibraryPath() {
  const std::string fileName = std::string("ktcmn") + platform::kModuleSuffix;
  const std::string hostModule = std::string("wmxdll") + platform::kModuleSuffix;
  if (const std::optional<std::string> loaded = platform::LoadedModulePath(hostModule)) {
    return platform::SplitPath(*loaded).folder + fileName;
  }
  for (const std::string& beside : {platform::ExecutablePath(), platform::OwnModulePath()}) {
    const std::string path = platform::SplitPath(beside).folder + fileName;
    if (platform::FileExists(path)) return path;
  }
  return {};
}

}  // namespace

void CStatusLink::FreeWithHeap::operator()(char* text) const {
  qrx::heap::Release(text);
}

int32_t CStatusLink::SetExternStrings(uint8_t flag) {
  useHostStrings_ = flag;
  return 0;
}

int32_t CStatusLink::InitLink(WriteDiagProc writeDiag, StatusBarProc statusBar,
                              int32_t /*reserved*/, int32_t passCount, int32_t initBase) {
  if (writeDiag == nullptr) {
    g_Log.LogError("!WriteDiag");
    return -2;
  }
  if (statusBar == nullptr) {
    g_Log.LogError("!StatusBar");
    return -2;
  }
  writeDiag_ = writeDiag;
  statusBar_ = statusBar;
  passCount_ = passCount;
  passCounter_ = 0;
  g_Log.LogLine("loading ktcmn...");
  LoadHostLibrary(initBase);
  if (useHostStrings_ != 0) SetExternKeys();
  if (!webAddress_) {
    g_Log.LogLine("!url");
    return -2;
  }
  if (!productName_) {
    g_Log.LogLine("!prodname");
    return -2;
  }
  g_Log.LogLine("done...");
  return 0;
}

int32_t CStatusLink::LoadHostLibrary(int32_t initBase) {
  const std::string path = HostLibraryPath();
  if (!platform::FileExists(path)) throw HostLibraryError{};
  const std::optional<platform::Module> module = platform::Module::Load(path);
  if (!module) throw HostLibraryError{};
  const auto initialize = reinterpret_cast<InitializeProc>(module->Symbol("Initialize"));
  if (initialize == nullptr) throw HostLibraryError{};
  initialize(initBase + 256);

  const auto copyText = [](const char* text) {
    HeapText buffer(static_cast<char*>(qrx::heap::AllocateZeroed(kProductTextSize)));
    if (buffer) std::strncpy(buffer.get(), text, kProductTextSize - 1);
    return buffer;
  };
  productName_ = copyText(kProductName);
  webAddress_ = copyText(kWebAddress);

  // The string lookup must exist, although the texts are translated by the host itself.
  if (module->Symbol("GetString") == nullptr) throw HostLibraryError{};
  SetBuiltinTexts();
  return 0;
}

void CStatusLink::SBar(int32_t percent) {
  g_Log.LogLine("void SBar(int prc)");
  if (statusBar_ != nullptr) statusBar_(u"", percent);
}

void CStatusLink::SBar(const char16_t* text, int32_t percent) {
  g_Log.LogLine("void SBar(int prc)");
  std::u16string message = text != nullptr ? text : u"";
  message += u' ';
  message += Decimal(percent);
  message += u'%';
  message = Bounded(std::move(message), kProgressTextSize);
  if (statusBar_ != nullptr) statusBar_(message.c_str(), percent);
}

void CStatusLink::WDiag(const char16_t* text) {
  g_Log.LogLine("void WDiag(char *text)");
  const std::string narrow = ToNarrow(text != nullptr ? text : u"");
  if (writeDiag_ != nullptr) {
    writeDiag_(text != nullptr ? text : u"");
    g_Log.LogPair("Wrote Diag", narrow.c_str());
  } else {
    g_Log.LogPair("No WriteDiag - cannot wrote", narrow.c_str());
  }
}

void CStatusLink::NextPass(const char16_t* passText) {
  if (++passCounter_ > passCount_) passCounter_ = 1;
  const std::u16string text = passText != nullptr ? passText : u"";
  std::u16string message;
  if (useHostStrings_ != 0) {
    message = text;
  } else {
    message = std::u16string(PassLabel) + u' ' + Decimal(passCounter_) + u": " + text + u"...";
  }
  message = Bounded(std::move(message), kPassMessageSize);
  g_Log.LogLine(ToNarrow(message).c_str());
  WDiag(message.c_str());
}
