#include "api/required_info.h"

#include "diag/log.h"
#include "platform/file.h"
#include "platform/text.h"

void LogRequiredInformation(const char16_t* sourcePath, const char16_t* targetDir) {
  const std::u16string source = sourcePath != nullptr ? sourcePath : u"";
  g_Log.LogPair("Recovering file:", ToNarrow(source).c_str());
  g_Log.LogPair("Target directory:", ToNarrow(targetDir != nullptr ? targetDir : u"").c_str());
  qrx::platform::File file = qrx::platform::File::OpenForRead(source);
  if (!file.IsOpen()) {
    g_Log.LogError("LogRequiredInformation failed to open file");
    return;
  }
  const uint64_t size = file.Size();
  g_Log.LogNumber("Source file size (low DWORD):", static_cast<int32_t>(size & 0xFFFFFFFFu));
  g_Log.LogNumber("Source file size (high DWORD):", static_cast<int32_t>(size >> 32));
}
