// The record bookkeeping in the log: after each counting pass, and in the crash report.
#include "diag/log.h"
#include "parser8/fp7_parser.h"

namespace {

// The page buffer as far as the crash report shows it.
constexpr uint32_t kPageDumpBytes = 4101;

}  // namespace

void CFMLogicParser8::LogRecordSummary() const {
  g_Log.LogFormat("Total records founded:%u", m_dwTotalRecords);
  g_Log.LogFormat("Unknown column count:%u", m_dwUnknownColumns);
  g_Log.LogFormat("Duplicated records count:%u", static_cast<uint32_t>(m_DuplicateCounts.size()));
  g_Log.LogLine("Start enumerating of duplicated records...");
  for (const auto& [id, count] : m_DuplicateCounts) {
    g_Log.LogFormat("\tID:%u , Stored count: %u", id, count);
  }
  g_Log.LogLine("End enumerating of duplicated records.");
}

void CFMLogicParser8::LogFields(const CRowOfTable& record) const {
  int index = 0;
  for (const auto& field : record.m_Fields) {
    if (field->m_szText == nullptr) {
      g_Log.LogLine("Field Data is NULL");
    } else {
      g_Log.LogFormat("Field[%d], id %u, data %.*s", index, field->m_dwID,
                      static_cast<int>(field->m_dwLength), field->m_szText);
    }
    ++index;
  }
}

void CFMLogicParser8::LogPendingRecords() const {
  if (m_pCurrentRecord != nullptr) {
    g_Log.LogFormat("PROBLEM RECORD :%u", m_pCurrentRecord->m_dwKey);
    LogFields(*m_pCurrentRecord);
  }
  g_Log.LogFormat("Current collected founded count :%u",
                  static_cast<uint32_t>(m_WrittenCounts.size()));
  g_Log.LogLine("Start enumerating of incomplete records...");
  for (const auto& [id, record] : m_PendingRecords) {
    g_Log.LogFormat("One record. ID%u", id);
    LogFields(record);
  }
  g_Log.LogLine("End enumerating of incomplete records...");
  g_Log.LogLine("Page data");
}

int CFMLogicParser8::DumpParserState() const {
  g_Log.LogFormat("Loaded Page:%d", static_cast<int>(m_Engine.m_nCurrentPage));
  g_Log.LogLine("Current saved records :");
  LogRecordSummary();
  g_Log.LogLine("Current collected records:");
  LogPendingRecords();
  g_Log.LogLine("Page dump:");
  g_Log.LogHex(m_Engine.m_pPage, kPageDumpBytes);
  return 0;
}
