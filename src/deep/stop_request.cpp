#include "deep/stop_request.h"

#include "api/library_state.h"
#include "diag/log.h"

namespace deep {

bool StopRequested() {
  if (!BreakRequested()) return false;
  g_Log.LogLine("BreakFlag");
  return true;
}

}  // namespace deep
