#include "api/crash_filter.h"

#include <cstdio>

#include "api/library_state.h"
#include "diag/log.h"
#include "parser8/fp7_parser.h"

qrx::platform::FatalFaultGuard InstallCrashFilter() {
  return qrx::platform::FatalFaultGuard([] { CrashFilter(); });
}

int CrashFilter() {
  char location[260] = {};
  std::snprintf(location, sizeof location, "File %s, Line %d, Time %s", __FILE__, __LINE__,
                __TIMESTAMP__);
  g_Log.LogFormat("%s", location);
  g_Log.LogFormat("ERROR IN FILE RECOVER: UnhandledExceptionFilter");
  const qrx::platform::MemoryStatus memory = qrx::platform::QueryMemoryStatus();
  g_Log.LogFormat("The MEMORYSTATUS structure is %ld bytes long;it should be %d.\n\n",
                  static_cast<long>(memory.length), 32);
  g_Log.LogFormat("There is  %ld percent of memory in use.\n",
                  static_cast<long>(memory.memoryLoad));
  g_Log.LogFormat("There are %*ld total Kbytes of physical memory.\n", 7,
                  static_cast<long>(memory.totalPhysicalBytes >> 10));
  g_Log.LogFormat("There are %*ld free Kbytes of physical memory.\n", 7,
                  static_cast<long>(memory.availablePhysicalBytes >> 10));
  if (g_pCurrentParser8 != nullptr) {
    g_pCurrentParser8->DumpParserState();
  } else {
    g_Log.LogFormat("FileMaker8parser not created");
  }
  if (g_pCurrentParser5 == nullptr) g_Log.LogFormat("FileMaker5parser not created");
  g_Log.LogFormat("End of UnhandledExceptionFilter catching");
  return 1;
}
