// The fp7 recovery, table by table: the table list, then for every table its columns, the
// counting pass, the result table with the writing pass, and its container objects; progress and
// pass texts for the host, and the recovery report at the end.
#include "parser8/fp7_parser.h"

#include <cstdio>
#include <string>

#include "api/library_state.h"
#include "diag/log.h"
#include "diag/report.h"
#include "diag/result_codes.h"
#include "diag/status_link.h"
#include "diag/status_texts.h"
#include "diag/table_results.h"
#include "parser/result_path.h"
#include "platform/file.h"
#include "platform/text.h"

namespace {

constexpr int32_t kProgressTableList = 10;
constexpr int32_t kProgressTablesShare = 90;
// Names and report texts are held in buffers of 260 UTF-16 units with their terminating zero.
constexpr size_t kLongestText = kMaxPathUnits - 1;

std::u16string Bounded(std::u16string text) {
  if (text.size() > kLongestText) text.resize(kLongestText);
  return text;
}

template <class... Args>
std::u16string WideFormat(const char* format, Args... args) {
  char text[kMaxPathUnits];
  std::snprintf(text, sizeof text, format, args...);
  return ToWide(text);
}

std::u16string JoinedNames(const std::vector<std::u16string>& first,
                           const std::vector<std::u16string>& second) {
  std::u16string joined;
  for (const auto* names : {&first, &second}) {
    for (const std::u16string& name : *names) {
      if (!joined.empty()) joined += u", ";
      joined += name;
    }
  }
  return Bounded(std::move(joined));
}

// Logs the stop when the host asked for one.
bool StopRequested() {
  if (!BreakRequested()) return false;
  g_Log.LogLine("BreakFlag");
  return true;
}

}  // namespace

// The report's view of the tables: those with columns or rows, with their counts, and the others.
struct CFMLogicParser8::TableTally {
  std::vector<std::u16string> filledNames;
  std::vector<std::u16string> details;
  std::vector<std::u16string> notes;  // empty for a table written in full
  std::vector<std::u16string> emptyNames;
  bool bWriteFailed = false;  // some result file of the run could not be written
};

// The base only keeps the engine's address until AttachSource connects it.
CFMLogicParser8::CFMLogicParser8(const Fp7WalkRules& walkRules)
    : CFMLogicParserBase(m_Engine), m_WalkRules(walkRules) {}

CFMLogicParser8::~CFMLogicParser8() = default;

void CFMLogicParser8::ResetTable() {
  // Left only by a failed allocation; such records must not join a record of the next table.
  if (!m_PendingRecords.empty()) {
    g_Log.LogFormat("Dropped %u incomplete records",
                    static_cast<uint32_t>(m_PendingRecords.size()));
  }
  m_PendingRecords.clear();
  CloseResult();
}

int32_t CFMLogicParser8::Process(const char16_t* targetDir) {
  m_Engine.DumpAllPages(true);
  if (StopRequested()) return kResultBreak;
  if (targetDir == nullptr) return kResultFailure;
  g_StatusLink.WDiag(DoneText);
  g_StatusLink.NextPass(Pass2Text);
  g_StatusLink.SBar(u"Reading tables list...", 7);
  ReadListOfTables();
  g_StatusLink.SBar(u"Reading tables list...", kProgressTableList);
  if (StopRequested()) return kResultBreak;
  if (m_ArrOfTables.empty()) return kResultNothing;
  bool created = false;
  if (!EnsureTargetFolder(targetDir, created)) return kResultWriteFailed;

  g_StatusLink.WDiag(DoneText);
  g_StatusLink.NextPass(Pass3Text);
  g_StatusLink.SBar(u"Writing row data...", kProgressTableList);
  TableTally tally;
  int32_t result = 0;
  const uint64_t tableCount = m_ArrOfTables.size();
  for (uint64_t done = 1; done <= tableCount; ++done) {
    const int32_t progress =
        kProgressTableList + static_cast<int32_t>(done * kProgressTablesShare / tableCount);
    g_StatusLink.SBar(u"Writing row data...", progress);
    if (!ProcessTable(*m_ArrOfTables[done - 1], targetDir, tally, result)) return kResultBreak;
    tally.bWriteFailed = tally.bWriteFailed || result == kResultWriteFailed;
  }
  // Whatever the last table gave, a run that lost a result file never reports success.
  if (result == 0 && tally.bWriteFailed) result = kResultWriteFailed;

  g_StatusLink.WDiag(DoneText);
  g_StatusLink.SBar(100);
  if (result == 0 && !m_bTableWritten) return kResultNothing;
  g_Report.SetGrade(Grade());
  AddReportEntries(tally);
  return result;
}

bool CFMLogicParser8::ProcessTable(const CBaseInfo& table, const char16_t* targetDir,
                                   TableTally& tally, int32_t& result) {
  const uint32_t tableId = table.m_dwID;
  const char* name = table.m_szText;
  ResetTable();
  g_Log.LogFormat("Process of \"%s\" table ===>", name);
  if (StopRequested()) return false;
  g_Log.LogLine("\tRead list of columns");
  ReadListOfColumns(tableId);
  g_Log.LogFormat("\t\tm_ArrOfColumns.size() = %i", static_cast<int>(m_ArrOfColumns.size()));
  FillColumnCatalogue();
  ReadRecords(static_cast<uint8_t>(tableId), false);
  LogRecordSummary();

  const std::u16string wideName = Bounded(ToWide(name));
  g_TableResults.BeginTable(wideName);
  uint32_t rowsWritten = 0;
  const bool filled = m_dwTotalColumns != 0 || m_dwTotalRecords != 0;
  const uint32_t columns = m_dwTotalColumns;
  if (filled) {
    tally.filledNames.push_back(wideName);
    tally.details.push_back(WideFormat("%u columns, %u rows", m_dwTotalColumns, m_dwTotalRecords));
    tally.notes.emplace_back();
  } else {
    tally.emptyNames.push_back(wideName);
  }
  g_Log.LogFormat("%u", static_cast<uint32_t>(m_DuplicateCounts.size()));
  if (StopRequested()) return false;

  g_Log.LogLine("\tRead data of table");
  const std::u16string fallback = WideFormat("Table_%u", tableId);
  std::u16string resultPath = ResultPathFor(targetDir, wideName, fallback);
  // A second table of the same name (or a file left in the folder) gets its id appended: result
  // tables never replace a file.
  if (!resultPath.empty() && qrx::platform::PathExists(resultPath)) {
    resultPath = ResultPathFor(targetDir, wideName + WideFormat("_%u", tableId), fallback);
  }
  if (resultPath.empty()) {
    g_Log.LogFormat("No room for a result path of %s in the target folder; table skipped", name);
    result = kResultWriteFailed;
  } else if (m_dwTotalRecords == 0) {
    g_Log.LogFormat("NO records founded for %s", name);
  } else {
    const int header = WriteTableHeader(resultPath.c_str());
    result = ReadRecords(static_cast<uint8_t>(tableId), true);
    // A stop during the writing pass leaves the table unfinished: it is dropped, not closed.
    if (BreakRequested()) DiscardDbf();
    const int closed = CloseDbf();
    if (header != 0 || closed != 0) result = header != 0 ? header : closed;
    tally.notes.back() = ReportNote(m_TableOutcome);
    rowsWritten = m_TableOutcome.dwRowsWritten;
  }
  if (StopRequested()) return false;

  g_Log.LogLine("\tCreate result file");
  if (!resultPath.empty()) {
    if (!ReadBynaryData(tableId)) return false;
    const int files = CreateBinaryFiles(resultPath.c_str());
    if (files == kResultBreak) return false;
    if (files != 0) result = files;
  }
  g_TableResults.EndTable(columns, rowsWritten, filled ? tally.notes.back() : u"", targetDir);
  g_Log.LogFormat("<=== Process of \"%s\" table", name);
  ResetTable();
  return true;
}

void CFMLogicParser8::AddReportEntries(const TableTally& tally) const {
  const uint32_t tableCount = static_cast<uint32_t>(m_ArrOfTables.size());
  const std::u16string total =
      WideFormat(tableCount == 1 ? "Total %u table" : "Total %u tables", tableCount);
  g_Report.AddEntry(total.c_str(), JoinedNames(tally.filledNames, tally.emptyNames).c_str(),
                    nullptr);
  for (size_t i = 0; i < tally.filledNames.size(); ++i) {
    const std::u16string& note = tally.notes[i];
    g_Report.AddEntry(tally.filledNames[i].c_str(), tally.details[i].c_str(),
                      note.empty() ? nullptr : note.c_str());
  }
  if (!tally.emptyNames.empty()) {
    g_Report.AddEntry(JoinedNames(tally.emptyNames, {}).c_str(), u"Empty", nullptr);
  }
}

// The share of parsed pages that decoded to their end, as the engine's counters stand at the end
// of the run: 3 from one half, 2 from 0.3, else 1.
int32_t CFMLogicParser8::Grade() const {
  if (m_Engine.m_nParsedPages == 0) return 1;
  const double whole = 1.0 - static_cast<double>(m_Engine.m_nBrokenPages) / m_Engine.m_nParsedPages;
  if (whole >= 0.5) return 3;
  if (whole >= 0.3) return 2;
  return 1;
}
