#include "parser/parser_base.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "api/library_state.h"
#include "dbf/dbf_layout.h"
#include "dbf/field_shape.h"
#include "diag/log.h"
#include "diag/result_codes.h"
#include "parser/date_conversion.h"
#include "parser/result_path.h"
#include "platform/file.h"
#include "platform/heap.h"
#include "platform/text.h"

namespace platform = qrx::platform;

namespace {

constexpr size_t kLongestDateText = 10;
// Values longer than this make their column a memo column when an fp5 table is sized.
constexpr uint32_t kLongestCharacterValue = 250;
// Catalogue widths beyond this make a memo column when an fp7 table is declared; narrower ones
// than the shortest are widened.
constexpr uint32_t kLongestCatalogueWidth = 260;
constexpr uint32_t kShortestCatalogueWidth = 5;
constexpr uint32_t kMemoWidth = dbf_layout::kMemoPointerWidth;
// The header carries its own length and the record length (with the deletion flag) in 16 bits.
constexpr uint64_t kLargest16BitLength = 0xFFFF;
// Rows written between two looks at the host's break byte.
constexpr size_t kRowsBetweenBreakChecks = 4096;

const char* Printable(const char* text) {
  return text != nullptr ? text : "(null)";
}

bool HasDigit(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Replaces the library-heap text at *ppText by a heap copy of `text`; logged and left as it was
// when the copy cannot be allocated.
void ReplaceHeapText(char** ppText, const std::string& text) {
  auto* copy = static_cast<char*>(qrx::heap::Allocate(text.size() + 1));
  if (copy == nullptr) {
    g_Log.LogFormat("can not allocate %zX bytes", text.size() + 1);
    return;
  }
  std::memcpy(copy, text.c_str(), text.size() + 1);
  qrx::heap::Release(*ppText);
  *ppText = copy;
}

// Column ids of a table to the first column of each id, in list order.
std::unordered_map<uint32_t, CColumnInfo*> FirstColumnOfEachId(const ColumnList& columns) {
  std::unordered_map<uint32_t, CColumnInfo*> columnOfId;
  for (const auto& column : columns) columnOfId.try_emplace(column->m_dwID, column.get());
  return columnOfId;
}

// The first value of each column id within a row, found in one pass over the row.
class FirstValuesOfRow {
 public:
  explicit FirstValuesOfRow(const ColumnList& columns) {
    for (const auto& column : columns) m_SlotOfId.try_emplace(column->m_dwID, m_SlotOfId.size());
    m_Values.resize(m_SlotOfId.size());
  }

  void Take(const CRowOfTable& row) {
    std::fill(m_Values.begin(), m_Values.end(), nullptr);
    for (const auto& value : row.m_Fields) {
      const auto slot = value != nullptr ? m_SlotOfId.find(value->m_dwID) : m_SlotOfId.end();
      if (slot != m_SlotOfId.end() && m_Values[slot->second] == nullptr) {
        m_Values[slot->second] = value.get();
      }
    }
  }

  CDataOfField* ValueOf(uint32_t columnId) const { return m_Values[m_SlotOfId.at(columnId)]; }

 private:
  std::unordered_map<uint32_t, size_t> m_SlotOfId;
  std::vector<CDataOfField*> m_Values;
};

// A value without text goes to the writer as the empty text, with length 0 so that nothing beyond
// it is read.
void WriteFieldValue(CDbfGen& writer, CDataOfField& value) {
  const bool empty = value.m_szText == nullptr || value.m_szText[0] == '\0';
  if (empty) value.m_dwLength = 0;
  writer.WriteOneValue(empty ? "" : value.m_szText, value.m_dwID, value.m_dwLength);
}

}  // namespace

CFMLogicParserBase::CFMLogicParserBase(CFMCEngine& engine) : m_Engine(engine) {}

CFMLogicParserBase::~CFMLogicParserBase() {
  // A table still open here was not finished; it must not look as if it were.
  DiscardDbf();
}

bool CFMLogicParserBase::AttachSource(CFileConnector* connector) {
  if (connector != nullptr) {
    // The last unit stays the terminating zero.
    std::copy_n(connector->m_szFilePath, CFileConnector::kMaxPath - 1, m_szSourcePath);
  }
  const bool connected = m_Engine.Connect(connector);
  m_qwOutputLeft = kOutputAllowance + kOutputPerSourceByte * m_Engine.m_nFileSize;
  return connected;
}

void CFMLogicParserBase::ConvertDate(char** ppText) {
  const char* text = ppText != nullptr ? *ppText : nullptr;
  g_Log.LogFormat("S: CFMLogicParserBase::ConvertDate %s", Printable(text));
  const std::string_view date = text != nullptr ? text : "";
  if (date.empty() || date.size() > kLongestDateText) return;
  if (!HasDigit(date)) {
    g_Log.LogFormat("Bad date value: %s", text);
    g_Log.LogFormat("F: CFMLogicParserBase::ConvertDate %s", text);
    return;
  }
  if (const std::optional<std::string> reordered = ReorderedDate(date)) {
    ReplaceHeapText(ppText, *reordered);
  }
  g_Log.LogFormat("F: CFMLogicParserBase::ConvertDate %s", *ppText);
}

void CFMLogicParserBase::CountMaxSizeForFields() {
  m_ColumnWidths.clear();
  const std::unordered_map<uint32_t, CColumnInfo*> columnOfId = FirstColumnOfEachId(m_ArrOfColumns);
  for (const CRowOfTable& row : m_DataOfTable) {
    for (const auto& value : row.m_Fields) {
      const auto found = value != nullptr ? columnOfId.find(value->m_dwID) : columnOfId.end();
      if (found == columnOfId.end() || found->second->m_dwType == kColumnMemo) continue;
      CColumnInfo& column = *found->second;
      uint32_t candidate = value->m_dwLength;
      if (candidate > kLongestCharacterValue) {
        column.m_dwType = kColumnMemo;
        candidate = kMemoWidth;
      }
      // A width never shrinks; a new memo column keeps the widest value it had before.
      const auto [entry, inserted] = m_ColumnWidths.try_emplace(column.m_dwID, candidate);
      if (!inserted) entry->second = std::max(entry->second, candidate);
    }
  }
}

int CFMLogicParserBase::CreateResultFile(const char16_t* szResultPath) {
  g_Log.LogLine("73708: CFMLogicParserBase::CreateResultFile(char *szResultPath)\tSTART");
  m_TableOutcome = CTableOutcome{};
  if (m_ArrOfColumns.empty()) {
    g_Log.LogLine("73708: m_ArrOfColumns.size() == 0");
    return 0;
  }
  g_Log.LogLine("73708: CountMaxSizeForFields()\tSTART");
  CountMaxSizeForFields();
  g_Log.LogLine("73708: CountMaxSizeForFields()\tEND");

  const std::vector<DbfColumn> columns = TableColumns();
  const uint32_t dwMaxLength = SumOfWidths(columns);
  g_Log.LogFormat("73708: wMaxLength = %i", static_cast<int>(dwMaxLength));
  if (dwMaxLength == 0) {
    g_Log.LogLine("Can't create table.");
    return 0;
  }
  const std::optional<uint32_t> recordLength = RecordLengthFor(columns, columns.size());
  m_TableOutcome.bWriteFailed = !recordLength;
  if (!recordLength) return kResultWriteFailed;
  return WriteTable(szResultPath, columns, *recordLength);
}

int CFMLogicParserBase::WriteTable(const char16_t* szResultPath,
                                   const std::vector<DbfColumn>& columns, uint32_t dwRecordLength) {
  CDbfGen writer(szResultPath);
  if (!writer.HasTableFile()) {
    m_TableOutcome.bWriteFailed = true;
    return kResultWriteFailed;
  }
  writer.SetOutputLimit(m_qwOutputLeft);
  writer.Prepare(static_cast<uint32_t>(columns.size()), static_cast<uint32_t>(m_DataOfTable.size()),
                 dwRecordLength);
  m_bTableWritten = true;
  g_Log.LogFormat("73708: m_ArrOfColumns.size() = %i", static_cast<int>(columns.size()));
  for (size_t i = 0; i < columns.size(); ++i) {
    g_Log.LogFormat("73708: AddCol# %i", static_cast<int>(i));
    AddColumn(writer, columns[i]);
  }
  g_Log.LogLine("73708: Start add data");
  if (!WriteRows(writer)) {
    g_Log.LogLine("BreakFlag");
    writer.Discard();
    return kResultBreak;
  }
  const int result = FinishTable(writer);
  g_Log.LogLine("73708: CFMLogicParserBase::CreateResultFile(char *szResultPath)\tEND");
  return result;
}

int CFMLogicParserBase::FinishTable(CDbfGen& writer) {
  const int result = writer.Close();
  m_TableOutcome.bWriteFailed = result != kResultOk;
  m_TableOutcome.bCut = writer.IsCut();
  m_TableOutcome.dwRowsWritten = writer.RecordsWritten();
  m_qwOutputLeft -= std::min(m_qwOutputLeft, writer.BytesWritten());
  return result;
}

bool CFMLogicParserBase::WriteRows(CDbfGen& writer) {
  FirstValuesOfRow firstValues(m_ArrOfColumns);
  size_t rowsWritten = 0;
  for (const CRowOfTable& row : m_DataOfTable) {
    if (++rowsWritten % kRowsBetweenBreakChecks == 0 && BreakRequested()) return false;
    firstValues.Take(row);
    for (const auto& column : m_ArrOfColumns) {
      if (CDataOfField* value = firstValues.ValueOf(column->m_dwID))
        WriteFieldValue(writer, *value);
    }
    // A row is one record even when its first value comes after the previous row's last one.
    writer.EndRecord();
  }
  return true;
}

std::vector<CFMLogicParserBase::DbfColumn> CFMLogicParserBase::TableColumns() {
  std::vector<DbfColumn> columns;
  columns.reserve(m_ArrOfColumns.size());
  for (const auto& column : m_ArrOfColumns) {
    const uint32_t width = m_ColumnWidths.try_emplace(column->m_dwID, 0).first->second;
    columns.push_back({column->m_szText, column->m_dwType, width, column->m_dwID});
  }
  return columns;
}

int CFMLogicParserBase::WriteTableHeader(const char16_t* szResultPath) {
  CloseDbf();
  m_TableOutcome = CTableOutcome{};
  const std::vector<DbfColumn> columns = CatalogueColumns();
  const std::optional<uint32_t> recordLength =
      RecordLengthFor(columns, std::max<size_t>(m_dwTotalColumns, columns.size()));
  m_TableOutcome.bWriteFailed = !recordLength;
  if (!recordLength) return kResultWriteFailed;

  m_pDbfGen.emplace(szResultPath);
  if (!m_pDbfGen->HasTableFile()) {
    m_pDbfGen.reset();
    m_TableOutcome.bWriteFailed = true;
    return kResultWriteFailed;
  }
  m_pDbfGen->SetOutputLimit(m_qwOutputLeft);
  g_Log.LogFormat("Total columns %u, Total Records %u, MaxRecordSize %u", m_dwTotalColumns,
                  m_dwTotalRecords, SumOfWidths(columns));
  m_pDbfGen->Prepare(m_dwTotalColumns, m_dwTotalRecords, *recordLength);
  int order = 0;
  for (const DbfColumn& column : columns) {
    AddColumn(*m_pDbfGen, column);
    g_Log.LogFormat("Add Column Info: Name %s, ID %u, Order %d, Type %d, MaxSize %u", column.szName,
                    column.dwId, order++, static_cast<int>(column.dwType), column.dwWidth);
  }
  return 0;
}

std::vector<CFMLogicParserBase::DbfColumn> CFMLogicParserBase::CatalogueColumns() {
  std::vector<DbfColumn> columns;
  uint32_t placeholders = 0;
  for (auto& [id, column] : m_ColumnCatalogue) {
    if (column.m_strName == kUnknownColumnName) {
      column.m_strName = "Unknown " + std::to_string(++placeholders);
    }
    if (column.m_dwWidth > kLongestCatalogueWidth) {
      column.m_dwType = kColumnMemo;
      column.m_dwWidth = kMemoWidth;
    }
    column.m_dwWidth = std::max(column.m_dwWidth, kShortestCatalogueWidth);
    columns.push_back({column.m_strName.c_str(), column.m_dwType, column.m_dwWidth, id});
  }
  return columns;
}

std::optional<uint32_t> CFMLogicParserBase::RecordLengthFor(const std::vector<DbfColumn>& columns,
                                                            size_t columnCount) {
  uint64_t recordLength = 0;
  for (const DbfColumn& column : columns) {
    // The writer leaves out a column without a name, and then declares no field for it.
    if (column.szName == nullptr || column.szName[0] == '\0') continue;
    const std::optional<DbfFieldShape> shape =
        ShapeOfField(ColumnTypeToDbf(column.dwType), column.dwWidth);
    if (shape) recordLength += shape->width;
  }
  const uint64_t headerLength =
      dbf_layout::kHeaderSize + 1 + uint64_t{dbf_layout::kDescriptorSize} * columnCount;
  if (recordLength + 1 > kLargest16BitLength || headerLength > kLargest16BitLength) {
    g_Log.LogFormat(
        "Can't create table: %zu columns with records of %llu bytes do not fit its header.",
        columnCount, static_cast<unsigned long long>(recordLength));
    return std::nullopt;
  }
  return static_cast<uint32_t>(recordLength);
}

uint32_t CFMLogicParserBase::SumOfWidths(const std::vector<DbfColumn>& columns) {
  uint32_t sum = 0;
  for (const DbfColumn& column : columns) sum += column.dwWidth;
  return sum;
}

void CFMLogicParserBase::AddColumn(CDbfGen& writer, const DbfColumn& column) {
  writer.AddOneColInfo(column.szName, ColumnTypeToDbf(column.dwType), column.dwWidth, column.dwId);
}

void CFMLogicParserBase::WriteValue(const char* szText, uint32_t dwColumnId, uint32_t dwLength) {
  if (m_pDbfGen) m_pDbfGen->WriteOneValue(szText, dwColumnId, dwLength);
}

int CFMLogicParserBase::CloseDbf() {
  int result = kResultOk;
  if (m_pDbfGen) {
    result = FinishTable(*m_pDbfGen);
    m_pDbfGen.reset();
  }
  return result;
}

std::u16string CFMLogicParserBase::ReportNote(const CTableOutcome& outcome) {
  if (outcome.bWriteFailed) return u"Incomplete: the table could not be written (see the log)";
  if (!outcome.bCut) return {};
  return ToWide(("Cut at the output limit after " + std::to_string(outcome.dwRowsWritten) +
                 " rows (see the log)")
                    .c_str());
}

void CFMLogicParserBase::DiscardDbf() {
  if (m_pDbfGen) {
    m_pDbfGen->Discard();
    m_pDbfGen.reset();
  }
}

int CFMLogicParserBase::CloseResult() {
  m_ColumnCatalogue.clear();
  m_DuplicateCounts.clear();
  m_WrittenCounts.clear();
  m_dwTotalColumns = 0;
  m_dwTotalRecords = 0;
  m_dwUnknownColumns = 0;
  m_SeenRecords.Clear();
  CloseDbf();
  return 1;
}

bool CFMLogicParserBase::EnsureTargetFolder(const std::u16string& folder, bool& created) {
  created = !qrx::platform::IsDirectory(folder) && qrx::platform::CreateDirectory(folder);
  if (qrx::platform::IsDirectory(folder)) return true;
  g_Log.LogFormat("Target folder cannot be created: %s", ToNarrow(folder).c_str());
  return false;
}
