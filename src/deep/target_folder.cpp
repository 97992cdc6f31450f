#include "deep/target_folder.h"

#include "diag/log.h"
#include "platform/file.h"
#include "platform/text.h"

namespace deep {

bool MakeTargetFolder(const std::u16string& targetDir) {
  if (qrx::platform::IsDirectory(targetDir) || qrx::platform::CreateDirectory(targetDir)) {
    return true;
  }
  g_Log.LogFormat("Target folder cannot be created: %s: %s", ToNarrow(targetDir).c_str(),
                  qrx::platform::ErrorText(qrx::platform::LastError()).c_str());
  return false;
}

}  // namespace deep
