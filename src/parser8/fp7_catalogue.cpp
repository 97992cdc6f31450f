// The table list and the columns of each table.
#include <cstring>

#include "diag/log.h"
#include "parser8/fp7_parser.h"
#include "parser8/fp7_paths.h"

namespace {

using fp7_paths::kNameKey;

// A value's decoded text as a name; false when the value carries no text.
bool TakeName(CBaseInfo& entry, const CFMValue& value) {
  if (value.m_pText == nullptr) return false;
  if (!entry.SetText(value.m_pText, value.m_dwLength)) {
    g_Log.LogFormat("can not allocate %X bytes", value.m_dwLength + 1);
    return false;
  }
  return true;
}

bool IsUsable(const CBaseInfo& entry) {
  return entry.m_dwID != 0 && entry.m_szText != nullptr;
}

}  // namespace

uint32_t CFMLogicParser8::ColumnTypeFromCode(std::span<const uint8_t> bytes) {
  const uint32_t low = !bytes.empty() ? bytes[0] : 0;
  const uint32_t high = bytes.size() > 1 ? bytes[1] : 0;
  switch (low + 256 * high) {
    case 0x0201:
    case 0x0202:
    case 0x0203:
      return kColumnNumber;
    case 0x0401:
      return kColumnTextKind4;
    case 0x0501:
      return kColumnTextKind5;
    default:
      return kColumnText;
  }
}

void CFMLogicParser8::ReadListOfTables() {
  g_Log.LogLine("ReadListOfTables ===>");
  bool cutShort = false;
  const std::vector<uint32_t> path = fp7_paths::TableList();
  WalkPages(path, [&](uint16_t listIndex) {
    if (listIndex == CFMEngine::kNotFound) return PageStep::kNextPage;
    const PageStep step = ReadTablesOnPage(listIndex);
    cutShort = step == PageStep::kStop;
    // The first page that lists any table is the table list.
    return cutShort || !m_ArrOfTables.empty() ? PageStep::kStop : PageStep::kNextPage;
  });
  if (cutShort) return;
  g_Log.LogFormat("SetParsedPage: %i", static_cast<int>(fp7_paths::kFirstPage));
  m_Engine.m_nCurrentPage = fp7_paths::kFirstPage;
  g_Log.LogLine("<=== ReadListOfTables");
}

// kStop when the list is damaged (no sub-paths, or a table without values): the scan ends on this
// page with what it has.
CFMLogicParser8::PageStep CFMLogicParser8::ReadTablesOnPage(uint16_t listIndex) {
  const std::vector<uint16_t> subPaths = m_Engine.GetSubPaths(listIndex);
  if (subPaths.empty()) return PageStep::kStop;
  g_Log.LogLine("Finded tables:");
  for (const uint16_t subPath : subPaths) {
    std::optional<CFMNode> node = m_Engine.GetNode(subPath, false, false);
    if (!node || node->m_Values.empty()) return PageStep::kStop;
    std::unique_ptr<CBaseInfo> table(new CBaseInfo);
    if (table == nullptr) {
      g_Log.LogLine("can not allocate table entry");
      return PageStep::kStop;
    }
    table->m_dwID = node->m_dwId;
    for (const CFMValue& value : node->m_Values) {
      if (value.m_dwKey == kNameKey) TakeName(*table, value);
      if (value.m_dwKey == fp7_paths::kSingleTableKey && subPaths.size() == 1) {
        m_bSingleTableLayout = true;
      }
    }
    if (IsUsable(*table)) {
      g_Log.LogFormat("\t\t%s", table->m_szText);
      m_ArrOfTables.push_back(std::move(table));
    }
  }
  return PageStep::kNextPage;
}

void CFMLogicParser8::ReadListOfColumns(uint32_t tableId) {
  g_Log.LogLine("ReadListOfColumns ===>");
  m_ArrOfColumns.clear();
  const std::vector<uint32_t> path = fp7_paths::ColumnList(tableId, m_bSingleTableLayout);
  // Every page that defines columns adds them; a list without sub-paths ends the scan.
  const bool ranOut = WalkPages(path, [&](uint16_t listIndex) {
    if (listIndex == CFMEngine::kNotFound) return PageStep::kNextPage;
    const std::vector<uint16_t> subPaths = m_Engine.GetSubPaths(listIndex);
    if (subPaths.empty()) return PageStep::kStop;
    for (const uint16_t subPath : subPaths) ReadColumn(subPath);
    return PageStep::kNextPage;
  });
  if (ranOut) g_Log.LogLine("<=== ReadListOfColumns");
}

void CFMLogicParser8::ReadColumn(uint16_t subPath) {
  std::optional<CFMNode> node = m_Engine.GetNode(subPath, false, false);
  if (!node || node->m_Values.empty()) return;
  std::unique_ptr<CColumnInfo> column(new CColumnInfo);
  if (column == nullptr) {
    g_Log.LogLine("can not allocate column entry");
    return;
  }
  column->m_dwID = node->m_dwId;
  for (const CFMValue& value : node->m_Values) {
    if (value.m_dwKey == fp7_paths::kTypeKey && value.m_pRaw != nullptr) {
      column->m_dwType = ColumnTypeFromCode({value.m_pRaw, value.m_dwLength});
    }
    if (value.m_dwKey == kNameKey) TakeName(*column, value);
  }
  if (!IsUsable(*column)) return;
  m_ArrOfColumns.push_back(std::move(column));
  const CColumnInfo& added = *m_ArrOfColumns.back();
  g_Log.LogFormat("ColName = %s,\t\t ColId = %i", added.m_szText, static_cast<int>(added.m_dwID));
}

int CFMLogicParser8::FillColumnCatalogue() {
  for (const auto& column : m_ArrOfColumns) {
    m_ColumnCatalogue.try_emplace(column->m_dwID,
                                  CCatalogueColumn{0, column->m_szText, column->m_dwType});
  }
  return 1;
}
