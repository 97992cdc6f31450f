// Every process-wide object of the library is defined here, so that they are constructed in this
// order when the library is loaded (and destroyed in reverse at unload): the settings, the log, the
// status link with its built-in texts, the report, the tables of the last recovery.
#include "api/library_state.h"

#include "diag/log.h"
#include "diag/report.h"
#include "diag/status_link.h"
#include "diag/status_texts.h"
#include "diag/table_results.h"

std::u16string g_strLogPath;
std::u16string g_strInitText;
WriteDiagProc g_WriteDiag = nullptr;
StatusBarProc g_StatusBar = nullptr;
uint8_t g_bExternStatusStrings = 0;
const volatile uint8_t* g_pBreakFlag = nullptr;
CFMLogicParser5* g_pCurrentParser5 = nullptr;
CFMLogicParser8* g_pCurrentParser8 = nullptr;

Logger g_Log;
CStatusLink g_StatusLink;

namespace {
const bool g_builtinTextsSet = (SetBuiltinTexts(), true);
}  // namespace

KtUtils::KtReport g_Report;
KtUtils::TableResults g_TableResults;
