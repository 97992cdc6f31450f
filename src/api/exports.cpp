// The exported C interface. No C++ exception leaves these functions: a failure inside a recovery
// becomes a result code, any other one leaves the state as it was.
#include <algorithm>
#include <exception>

#include "api/library_state.h"
#include "api/recovery_driver.h"
#include "diag/log.h"
#include "diag/report.h"
#include "diag/result_codes.h"
#include "diag/table_results.h"
#include "qrx/qrx.h"

extern "C" {

QRX_EXPORT int32_t QRX_CALL DllInitialize(const qrx_utf16_t* text, WriteDiagProc writeDiag,
                                          StatusBarProc statusBar) {
  try {
    if (text != nullptr) g_strInitText = text;
  } catch (...) {
  }
  g_WriteDiag = writeDiag;
  g_StatusBar = statusBar;
  return 1;
}

QRX_EXPORT void QRX_CALL SetLogPath(const qrx_utf16_t* path) {
  try {
    if (path != nullptr) g_strLogPath = path;
  } catch (...) {
  }
}

QRX_EXPORT void QRX_CALL UseExternStatusStrings(uint8_t flag) {
  g_bExternStatusStrings = flag;
}

QRX_EXPORT void QRX_CALL SetBreakFlag(const volatile uint8_t* flag) {
  g_pBreakFlag = flag;
}

QRX_EXPORT int32_t QRX_CALL GetDllVersion(void) {
  return 0;
}

QRX_EXPORT void QRX_CALL GetSupportedExtensions(qrx_utf16_t* buffer) {
  static const char16_t kFilter[] = u"*.fp5;*.fp7";
  if (buffer != nullptr) std::copy(std::begin(kFilter), std::end(kFilter), buffer);
}

QRX_EXPORT int32_t QRX_CALL FileRecover(const qrx_utf16_t* source, const qrx_utf16_t* targetDir,
                                        const char* /*unused*/) {
  try {
    return FileRecoverImpl(source, targetDir);
  } catch (const std::exception& error) {
    g_Log.LogError(error.what());
  } catch (...) {
    g_Log.LogError("FileRecover failed");
  }
  return kResultFailure;
}

QRX_EXPORT int32_t QRX_CALL FileRecoverEx(const qrx_utf16_t* source, const qrx_utf16_t* targetDir,
                                          const qrx_options* options) {
  try {
    return FileRecoverExImpl(source, targetDir, options);
  } catch (const std::exception& error) {
    g_Log.LogError(error.what());
  } catch (...) {
    g_Log.LogError("FileRecoverEx failed");
  }
  return kResultFailure;
}

QRX_EXPORT int32_t QRX_CALL RecoveryReport(qrx_utf16_t*** items, qrx_utf16_t*** details,
                                           qrx_utf16_t*** grades, qrx_utf16_t*** notes) {
  try {
    g_Report.BuildTable(items, details, grades, notes);
  } catch (...) {
    // Out of memory: the host gets no columns.
  }
  return 0;
}

QRX_EXPORT int32_t QRX_CALL RecoveredTables(const qrx_table_result** tables) {
  int32_t count = 0;
  try {
    const qrx_table_result* built = g_TableResults.Build(count);
    if (tables != nullptr) *tables = built;
  } catch (...) {
    // Out of memory: the host gets no tables.
    if (tables != nullptr) *tables = nullptr;
    count = 0;
  }
  return count;
}

}  // extern "C"
