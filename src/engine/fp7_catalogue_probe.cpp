// The page tests of the format check: does the current page hold the table list, or a column
// list, of an fp7 file?
#include "diag/log.h"
#include "engine/fp7_engine.h"

namespace {

constexpr uint32_t kNameKey = 16;

bool HasNameValue(const CFMNode& node) {
  for (const CFMValue& value : node.m_Values) {
    if (value.m_dwKey == kNameKey) return true;
  }
  return false;
}

}  // namespace

std::optional<uint32_t> CFMEngine::CountNamedSubPaths(uint16_t index, bool stopAtEmpty) {
  uint32_t named = 0;
  for (const uint16_t subPath : GetSubPaths(index)) {
    std::optional<CFMNode> node = GetNode(subPath, false, false);
    if (!node || node->m_Values.empty()) {
      if (stopAtEmpty) return std::nullopt;
      continue;
    }
    if (HasNameValue(*node)) ++named;
    FreeNode(*node);
  }
  return named;
}

bool CFMEngine::IsTablesCatalogue() {
  ParsePage();
  const uint16_t list = FindPath({3, 16, 5});
  if (list == kNotFound) return false;
  // Every table of the list must be readable.
  const std::optional<uint32_t> tables = CountNamedSubPaths(list, /*stopAtEmpty=*/true);
  if (!tables || *tables == 0) return false;
  g_Log.LogFormat("TEST VERS: Finded %i table(s) of fp7 version.", static_cast<int>(*tables));
  g_Log.LogLine("");
  return true;
}

bool CFMEngine::IsFieldsCatalogue() {
  ParsePage();
  for (uint32_t table = 1; table <= 5; ++table) {
    const uint16_t list = FindPath({table, 3, 5});
    if (list == kNotFound) continue;
    const uint32_t fields = CountNamedSubPaths(list, /*stopAtEmpty=*/false).value_or(0);
    if (fields > 0) {
      g_Log.LogFormat("TEST VERS: Finded %i field(s) info of fp7 version.",
                      static_cast<int>(fields));
      g_Log.LogLine("");
      return true;
    }
  }
  return false;
}
