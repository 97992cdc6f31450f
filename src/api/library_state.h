// The library's process-wide settings, kept between recoveries and set through the exports.
#pragma once

#include <cstdint>
#include <string>

#include "qrx/qrx.h"

class CFMLogicParser5;
class CFMLogicParser8;

extern std::u16string g_strLogPath;   // empty: no log
extern std::u16string g_strInitText;  // kept for the host, not used
extern WriteDiagProc g_WriteDiag;
extern StatusBarProc g_StatusBar;
extern uint8_t g_bExternStatusStrings;
extern const volatile uint8_t* g_pBreakFlag;
// The parser whose Process is running, for the crash filter; null otherwise.
extern CFMLogicParser5* g_pCurrentParser5;
extern CFMLogicParser8* g_pCurrentParser8;

// Whether the host asked for a stop. A host that never registered a break byte cannot ask.
inline bool BreakRequested() {
  return g_pBreakFlag != nullptr && *g_pBreakFlag != 0;
}
