// The one page loop behind every scan of the fp7 parser; where it ends is for the walk rules.
#include "api/library_state.h"
#include "diag/log.h"
#include "parser8/fp7_parser.h"
#include "parser8/fp7_paths.h"

bool CFMLogicParser8::WalkPages(std::span<const uint32_t> path, const PageVisitor& visit) {
  g_Log.LogFormat("SetParsedPage: %i", static_cast<int>(fp7_paths::kFirstPage));
  // A walk that stopped on its page left that page's chunks listed; ParsePage would append to them.
  m_Engine.NextPage();
  m_Engine.m_nCurrentPage = fp7_paths::kFirstPage;
  for (;;) {
    // A stop ends the walk as if the pages had ended; the checkpoint after it ends the run.
    if (BreakRequested()) return false;
    if (!m_Engine.ReadPage()) {
      if (m_WalkRules.EndsAtRefusedPage(m_Engine)) return true;
    } else {
      m_Engine.ParsePage();
      if (visit(m_Engine.FindPath(path)) == PageStep::kStop) return false;
    }
    m_Engine.NextPage();
  }
}
