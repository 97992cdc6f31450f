#include "parser/fp5_parser.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "api/library_state.h"
#include "diag/log.h"
#include "diag/report.h"
#include "diag/result_codes.h"
#include "diag/status_link.h"
#include "diag/status_texts.h"
#include "diag/table_results.h"
#include "parser/result_path.h"
#include "platform/file.h"
#include "platform/heap.h"
#include "platform/text.h"

namespace {

// The host's break byte, read at the checkpoints of Process.
bool StopRequested() {
  if (!BreakRequested()) return false;
  g_Log.LogLine("BreakFlag");
  return true;
}

void AnnouncePass(const char16_t* passText, const char16_t* progressText, int32_t percent) {
  g_StatusLink.WDiag(DoneText);
  g_StatusLink.NextPass(passText);
  g_StatusLink.SBar(progressText, percent);
}

uint32_t TextLength(const char* text) {
  return text != nullptr ? static_cast<uint32_t>(std::strlen(text)) : 0;
}

// The pieces of long texts that carry a record and a column, grouped by the two, each group in
// list order.
std::unordered_map<uint32_t, std::vector<CFM5LongPiece*>> PiecesByValue(
    const std::vector<CFM5LongPiece*>& pieces) {
  std::unordered_map<uint32_t, std::vector<CFM5LongPiece*>> groups;
  for (CFM5LongPiece* piece : pieces) {
    if (piece == nullptr || piece->m_nRecord == 0 || piece->m_nColumn == 0) continue;
    groups[uint32_t{piece->m_nRecord} << 16 | piece->m_nColumn].push_back(piece);
  }
  return groups;
}

// A zero-terminated text on the library heap that grows piece by piece.
class JoinedText {
 public:
  JoinedText() = default;
  JoinedText(const JoinedText&) = delete;
  JoinedText& operator=(const JoinedText&) = delete;
  ~JoinedText() { qrx::heap::Release(m_pText); }

  // Appends the piece's bytes up to its length or its first zero byte. False, logged, when the
  // text cannot grow; it then stays as it was.
  bool Append(const CFM5LongPiece& piece) {
    const void* end = std::memchr(piece.m_szText, '\0', piece.m_nLength);
    const size_t length =
        end != nullptr ? static_cast<const char*>(end) - piece.m_szText : piece.m_nLength;
    const size_t size = m_nLength + length + 1;
    auto* grown = static_cast<char*>(qrx::heap::Reallocate(m_pText, size));
    if (grown == nullptr) {
      g_Log.LogFormat("can not realloc %zX bytes", size);
      return false;
    }
    std::memcpy(grown + m_nLength, piece.m_szText, length);
    grown[size - 1] = '\0';
    m_pText = grown;
    m_nLength += length;
    return true;
  }

  const char* Text() const { return m_pText != nullptr ? m_pText : ""; }
  size_t Length() const { return m_nLength; }

 private:
  char* m_pText = nullptr;
  size_t m_nLength = 0;
};

}  // namespace

bool CWasDataList::Add(uint16_t wRecordNumber, uint16_t wRowPosition) {
  std::unique_ptr<CWasData> marker(new CWasData);
  if (marker == nullptr) {
    g_Log.LogError("can not create new CWasData");
    return false;
  }
  marker->m_wRecordNumber = wRecordNumber;
  marker->m_wRowPosition = wRowPosition;
  m_FirstOfRecord.try_emplace(wRecordNumber, marker.get());
  m_Markers.push_back(std::move(marker));
  return true;
}

const CWasData* CWasDataList::FirstOf(uint16_t wRecordNumber) const {
  const auto found = m_FirstOfRecord.find(wRecordNumber);
  return found != m_FirstOfRecord.end() ? found->second : nullptr;
}

void CWasDataList::Clear() {
  m_FirstOfRecord.clear();
  m_Markers.clear();
}

// The base only keeps the reference to the engine until AttachSource.
CFMLogicParser5::CFMLogicParser5() : CFMLogicParserBase(m_Engine5) {}

CFMLogicParser5::~CFMLogicParser5() = default;

int CFMLogicParser5::Process(const char16_t* szTargetDir) {
  if (StopRequested()) return kResultBreak;
  if (szTargetDir == nullptr || szTargetDir[0] == u'\0') return kResultFailure;
  AnnouncePass(Pass2Text, u"Reading tables list...", 30);
  GradeFile(WalkPages());
  g_Log.LogFormat("Process of table ===>");
  if (StopRequested() || !BuildTable()) return kResultBreak;
  const std::u16string targetDir(szTargetDir);
  const std::u16string resultPath = ResultPathFor(targetDir, u"Table", u"Table");
  if (StopRequested()) return kResultBreak;
  if (m_ArrOfColumns.empty()) {
    g_Log.LogLine("No Columns. Nothing to recover");
    return kResultNothing;
  }
  return WriteResult(targetDir, resultPath);
}

bool CFMLogicParser5::BuildTable() {
  g_Log.LogFormat("\tRead list of columns");
  ReadListOfColumns5();
  g_Log.LogFormat("\t\tm_ArrOfColumns.size() = %i", static_cast<int>(m_ArrOfColumns.size()));
  if (StopRequested()) return false;
  AnnouncePass(Pass3Text, u"Writing row data...", 60);
  g_Log.LogFormat("\tRead data of table");
  ReadDataOfTable5();
  g_Log.LogFormat("\t\tm_DataOfTable.size() = %i", static_cast<int>(m_DataOfTable.size()));
  if (StopRequested()) return false;
  g_Log.LogFormat("\tSet unknown columns");
  return !StopRequested();
}

int CFMLogicParser5::WriteResult(const std::u16string& targetDir,
                                 const std::u16string& resultPath) {
  bool created = false;
  const bool folderReady = EnsureTargetFolder(targetDir, created);
  g_Log.LogFormat("Result: %d", created ? 1 : 0);
  if (!folderReady) return kResultWriteFailed;
  g_Log.LogFormat("\tCreate result file");
  g_TableResults.BeginTable(u"Table");
  const int result = CreateResultFile(resultPath.c_str());
  if (result == kResultBreak) return result;
  g_Log.LogFormat("<=== Process of table");
  g_StatusLink.WDiag(DoneText);
  g_StatusLink.SBar(100);
  ReportTable();
  g_TableResults.EndTable(static_cast<uint32_t>(m_ArrOfColumns.size()),
                          m_TableOutcome.dwRowsWritten, ReportNote(m_TableOutcome), targetDir);
  m_DataOfTable.clear();  // releases every value of every row
  return result;
}

uint32_t CFMLogicParser5::WalkPages() {
  uint32_t dwPages = 0;
  // A stop ends the walk; the checkpoint after it ends the run.
  while (!m_Engine5.IsEndOfFile() && !BreakRequested()) {
    m_Engine5.ReadPage();
    m_Engine5.ParsePage();
    m_Engine5.NextPage();
    ++dwPages;
  }
  return dwPages;
}

// The share of walked pages that held record data rates the file.
void CFMLogicParser5::GradeFile(uint32_t dwPagesWalked) {
  const float ratio = dwPagesWalked == 0 ? 0.0f
                                         : static_cast<float>(m_Engine5.m_nDataPages) /
                                               static_cast<float>(dwPagesWalked);
  g_Report.SetGrade(ratio >= 0.5f ? 3 : ratio >= 0.3f ? 2 : 1);
}

void CFMLogicParser5::ReportTable() {
  char detail[64];
  std::snprintf(detail, sizeof detail, "%u columns, %d rows",
                static_cast<unsigned>(m_ArrOfColumns.size()),
                static_cast<int>(m_DataOfTable.size()));
  g_Report.AddEntry(u"Total 1 table", u"Table", nullptr);
  const std::u16string note = ReportNote(m_TableOutcome);
  g_Report.AddEntry(u"Table", ToWide(detail).c_str(), note.empty() ? nullptr : note.c_str());
}

void CFMLogicParser5::ReadListOfColumns5() {
  m_Items = m_Engine5.GetFieldItems();
  m_ArrOfColumns.clear();
  for (const CFM5Item* item : m_Items) {
    if (item == nullptr || item->m_nRecord != 0) continue;
    std::unique_ptr<CColumnInfo> column(new CColumnInfo);
    if (column == nullptr) {
      g_Log.LogFormat("can not allocate %zX bytes", sizeof(CColumnInfo));
      continue;
    }
    column->m_dwID = item->m_nColumn;
    const size_t nameLength = std::strlen(item->m_szText);
    if (!column->SetText(item->m_szText, nameLength)) {
      g_Log.LogFormat("can not allocate %zX bytes", nameLength + 1);
    }
    column->m_dwType = Fp5TypeToColumnType(item->m_nType);
    if (column->m_dwType == kColumnDate) m_DateColumns.insert(column->m_dwID);
    m_ArrOfColumns.push_back(std::move(column));
  }
}

void CFMLogicParser5::LongTextCollect() {
  g_Log.LogLine("S: CFMLogicParser5::LongTextCollect()");
  m_LongPieces = m_Engine5.GetLongTextPieces();
  const auto groups = PiecesByValue(m_LongPieces);
  for (const CFM5LongPiece* piece : m_LongPieces) {
    if (piece == nullptr || piece->m_nRecord == 0 || piece->m_nColumn == 0) continue;
    JoinPiecesOf(groups.at(uint32_t{piece->m_nRecord} << 16 | piece->m_nColumn));
  }
  g_Log.LogLine("F: CFMLogicParser5::LongTextCollect()");
}

// Joins the pieces of one value that are not joined yet into a new item. A piece that the text
// could not take in stays unjoined, so it starts a value of its own when its turn comes.
void CFMLogicParser5::JoinPiecesOf(const std::vector<CFM5LongPiece*>& samePieces) {
  const uint16_t wRecord = samePieces.front()->m_nRecord;
  const uint16_t wColumn = samePieces.front()->m_nColumn;
  JoinedText text;
  for (CFM5LongPiece* piece : samePieces) {
    if (piece->m_nRecord != wRecord || piece->m_nColumn != wColumn) continue;  // joined before
    if (!text.Append(*piece)) continue;
    piece->m_nRecord = 0;
    piece->m_nColumn = 0;
  }
  std::unique_ptr<CFM5Item, ItemRelease> item(
      CFM5Item::Create(wRecord, wColumn, 0, text.Text(), text.Length()));
  if (item == nullptr) return;
  m_Items.push_back(item.get());
  m_JoinedLongTexts.push_back(std::move(item));
}

void CFMLogicParser5::ReadDataOfTable5() {
  g_Log.LogLine("S: CFMLogicParser5::ReadDataOfTable5()");
  m_Items = m_Engine5.GetFieldItems();
  LongTextCollect();
  m_DataOfTable.clear();
  m_WasData.Clear();
  RowBuilder rows;
  for (size_t i = 0; i < m_Items.size(); ++i) {
    const CFM5Item* item = m_Items[i];
    if (item == nullptr || item->m_nRecord == 0) continue;
    if (item->m_nRecord != rows.wCurrentRecord) StartRecord(rows, i);
    std::unique_ptr<CDataOfField> value = MakeValue(*item);
    if (value != nullptr) RowFor(rows).m_Fields.push_back(std::move(value));
  }
  FinishRow(rows);
  g_Log.LogLine("F: CFMLogicParser5::ReadDataOfTable5()");
}

// The item at `itemIndex` begins another record: the row of the one before is finished and marked
// (by the record number of the item just before, whatever it is), and a record met before goes on
// filling its first row.
void CFMLogicParser5::StartRecord(RowBuilder& rows, size_t itemIndex) {
  FinishRow(rows);
  const CFM5Item* previous = itemIndex > 0 ? m_Items[itemIndex - 1] : nullptr;
  m_WasData.Add(previous != nullptr ? previous->m_nRecord : 0,
                static_cast<uint16_t>(m_DataOfTable.size() - 1));
  rows.wCurrentRecord = m_Items[itemIndex]->m_nRecord;
  rows.pSeenBefore = m_WasData.FirstOf(rows.wCurrentRecord);
}

// The first row of a record met before; a marker can name a row that was never made, when all
// values of its record failed.
CRowOfTable& CFMLogicParser5::RowFor(RowBuilder& rows) {
  const CWasData* seen = rows.pSeenBefore;
  if (seen != nullptr && seen->m_wRowPosition < m_DataOfTable.size()) {
    return m_DataOfTable[seen->m_wRowPosition];
  }
  return rows.currentRow;
}

void CFMLogicParser5::FinishRow(RowBuilder& rows) {
  if (!rows.currentRow.m_Fields.empty()) m_DataOfTable.push_back(std::move(rows.currentRow));
  rows.currentRow = CRowOfTable{};
}

std::unique_ptr<CDataOfField> CFMLogicParser5::MakeValue(const CFM5Item& item) {
  std::unique_ptr<CDataOfField> value(new CDataOfField);
  if (value == nullptr) {
    g_Log.LogError("can not create new CDataOfField");
    return nullptr;
  }
  value->m_dwID = item.m_nColumn;
  const size_t length = std::strlen(item.m_szText);
  if (!value->SetText(item.m_szText, length)) {
    g_Log.LogFormat("can not allocate %zX bytes", length + 1);
  }
  if (m_DateColumns.contains(value->m_dwID)) ConvertDate(&value->m_szText);
  value->m_dwLength = TextLength(value->m_szText);
  return value;
}
