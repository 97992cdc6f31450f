// The diagnostic listing of every page's chunk tree in the log.
#include <string>
#include <vector>

#include "diag/log.h"
#include "engine/fp7_engine.h"

namespace {

// "Node 3->16->5:", with " (name)" behind the ids when the push is named by key bytes.
std::string NodeLine(const std::vector<uint32_t>& stack, const char* name) {
  std::string line = "Node ";
  for (size_t i = 0; i < stack.size(); ++i) {
    if (i > 0) line += "->";
    line += std::to_string(static_cast<int32_t>(stack[i]));
  }
  if (name != nullptr) {
    line += " (";
    line += name;
    line += ')';
  }
  line += ':';
  return line;
}

}  // namespace

void CFMEngine::DumpAllPages(bool decode) {
  g_Log.LogLine("=== Start parse all pages for log ===");
  // Connect empties the cache; the first page read fills it.
  if (m_nCacheFirstPage == kNoPage) {
    g_Log.LogLine("Not connected file!!!");
    return;
  }
  std::vector<uint32_t> stack;
  while (ReadPage()) {
    ParsePage();
    g_Log.LogFormat("----------------------> Page # %i <----------------------",
                    static_cast<int>(m_nCurrentPage));
    stack.clear();
    for (CFMChunk* chunk : chunks_) {
      if (chunk->IsPush()) {
        stack.push_back(chunk->m_dwId);
        g_Log.LogLine(NodeLine(stack, chunk->m_pKeyBytes).c_str());
      } else if (chunk->IsPop()) {
        g_Log.LogLine("<---");
        if (stack.size() >= 2) {
          stack.pop_back();
          g_Log.LogFormat("Continuation: %i", static_cast<int>(stack.back()));
        } else if (stack.size() == 1) {
          stack.clear();
          g_Log.LogLine("Root^");
        }
      } else {
        const char* value =
            decode ? GetText(*chunk) : reinterpret_cast<const char*>(chunk->m_pValue);
        if (value == nullptr) value = "";
        if (chunk->m_pKeyBytes != nullptr) {
          g_Log.LogFormat("  %s ---> %s", chunk->m_pKeyBytes, value);
        } else {
          g_Log.LogFormat("  %i ---> %s", static_cast<int>(chunk->m_dwId), value);
        }
      }
    }
    NextPage();
  }
  g_Log.LogLine("=== End parse all pages for log ===\n");
}
