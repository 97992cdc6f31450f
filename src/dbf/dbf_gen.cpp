#include "dbf/dbf_gen.h"

#include "diag/result_codes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dbf/dbf_header.h"
#include "dbf/field_shape.h"
#include "diag/log.h"
#include "diag/table_results.h"
#include "platform/heap.h"
#include "platform/path.h"
#include "platform/short_name.h"
#include "platform/text.h"

namespace platform = qrx::platform;
using namespace dbf_layout;

namespace {

constexpr size_t kShortNameLength = 8;
// What the system hands back for a file that could not be created; logged as the handle value.
constexpr uint32_t kInvalidHandleValue = 0xFFFFFFFF;

}  // namespace

CDbfGen::CDbfGen(const char16_t* szResultPath) {
  g_Log.LogLine("DbfGen: CDbfGen::CDbfGen\tSTART");
  const std::u16string resultPath = szResultPath != nullptr ? szResultPath : u"";
  if (resultPath.empty()) {
    g_Log.LogFormat("DbfGen: Bad input path: %s", ToNarrow(resultPath).c_str());
    return;
  }

  // The system gives short names to existing files only, so a placeholder stands at the result
  // path while its short name is taken. It also keeps an existing result from being replaced.
  platform::File placeholder =
      platform::File::Create(resultPath, platform::Disposition::kCreateNew);
  if (!placeholder.IsOpen()) {
    const uint32_t error = platform::LastError();
    g_Log.LogFormat("DbfGen: Can't create file: %s", ToNarrow(resultPath).c_str());
    g_Log.LogFormat("DbfGen: %s", platform::ErrorText(error).c_str());
    return;
  }
  placeholder.Close();
  const std::u16string shortPath = platform::ShortPathName(resultPath);
  if (!platform::DeleteFile(resultPath)) {
    g_Log.LogFormat("DbfGen: Can't delete file: %s", ToNarrow(resultPath).c_str());
    return;
  }

  const platform::PathParts parts = platform::SplitPath(shortPath);
  m_szShortName = parts.name.substr(0, kShortNameLength);
  m_szDirectory = parts.folder;
  AvoidTakenMemoName();

  const std::u16string dbfPath = m_szDirectory + m_szShortName + u".dbf";
  g_Log.LogFormat("DbfGen: DBFPath = %s", ToNarrow(dbfPath).c_str());
  // The table is written under a temporary name; its own name must be free for the end.
  const bool created = !platform::PathExists(dbfPath) && m_Dbf.Create(dbfPath);
  if (!created) {
    g_Log.LogFormat("DbfGen: Can't create DBFPath file. m_hDBFFile = 0x%X. GetLastError = 0x%X",
                    kInvalidHandleValue, platform::LastError());
    if (m_Dbf.Failed()) g_Log.LogFormat("DbfGen: %s", m_Dbf.Failure().c_str());
  }
  g_Log.LogLine("DbfGen: CDbfGen::CDbfGen\tEND");
}

CDbfGen::~CDbfGen() {
  g_Log.LogLine("DbfGen: CDbfGen::~CDbfGen\tSTART");
  // Files not finished by Close are removed by their own destructors.
  g_Log.LogLine("DbfGen: CDbfGen::~CDbfGen\tEND");
}

void CDbfGen::AvoidTakenMemoName() {
  if (platform::IsShortBaseFree(m_szDirectory, m_szShortName, {u".dbt"})) return;
  const std::u16string taken = m_szShortName;
  m_szShortName = platform::FreeNumberedShortBase(m_szDirectory, taken, {u".dbf", u".dbt"});
  g_Log.LogFormat("DbfGen: %s.dbt exists already; the table is named %s", ToNarrow(taken).c_str(),
                  ToNarrow(m_szShortName).c_str());
}

int CDbfGen::Checked(bool ok) {
  if (ok) return kResultOk;
  if (!m_bWriteFailed) {
    m_bWriteFailed = true;
    const std::string& failure = m_Dbf.Failed() ? m_Dbf.Failure() : m_Dbt.Failure();
    if (!failure.empty()) g_Log.LogFormat("DbfGen: Can't write %s", failure.c_str());
    Discard();
  }
  return kResultWriteFailed;
}

void CDbfGen::Discard() {
  m_Dbf.Discard();
  m_Dbt.Discard();
}

void CDbfGen::SetDate() {
  g_Log.LogLine("DbfGen: CDbfGen::SetDate\tSTART");
  StampToday(m_DbfHeader);
  g_Log.LogLine("DbfGen: CDbfGen::SetDate\tEND");
}

void CDbfGen::Prepare(uint32_t dwFieldCount, uint32_t dwRecordCount, uint32_t dwRecordSize) {
  g_Log.LogLine("DbfGen: CDbfGen::Prepare\tSTART");
  if (m_Dbf.IsOpen()) {
    m_dwRecordLength = dwRecordSize + 1;
    FillTableHeader(m_DbfHeader, m_bHasMemo ? kVersionWithMemo : kVersionPlain, dwRecordCount,
                    dwFieldCount, m_dwRecordLength);
    SetDate();
    Checked(m_Dbf.Append(m_DbfHeader, sizeof m_DbfHeader));
  }
  g_Log.LogLine("DbfGen: CDbfGen::Prepare\tEND");
}

int CDbfGen::AddOneColInfo(const char* szName, char chType, uint32_t dwWidth, uint32_t dwColumnId) {
  g_Log.LogLine("DbfGen: CDbfGen::AddOneColInfo\t\tSTART");
  const std::optional<DbfFieldShape> shape = ShapeOfField(chType, dwWidth);
  if (m_Dbf.IsOpen() && szName != nullptr && szName[0] != '\0' && shape) {
    uint8_t descriptor[kDescriptorSize];
    const size_t nameLength = std::find(szName, szName + kFieldNameLength, '\0') - szName;
    FillFieldDescriptor(descriptor, std::string_view(szName, nameLength), shape->type, shape->width,
                        0);
    Checked(m_Dbf.Append(descriptor, sizeof descriptor));
    // A repeated id still gets its field, so that the records match the descriptors; FindColumn
    // sends its values to the first field, and this one stays blank.
    m_Columns.push_back({dwColumnId, shape->type, shape->width});
  }
  g_Log.LogLine("DbfGen: CDbfGen::AddOneColInfo\t\tEND");
  return kResultOk;
}

size_t CDbfGen::FindColumn(uint32_t dwColumnId) const {
  const auto found = std::find_if(m_Columns.begin(), m_Columns.end(),
                                  [&](const ColumnEntry& c) { return c.dwColumnId == dwColumnId; });
  return static_cast<size_t>(found - m_Columns.begin());
}

int CDbfGen::WriteOneValue(const char* pValue, uint32_t dwColumnId, uint32_t dwLength) {
  g_Log.LogLine("DbfGen: CDbfGen::WriteOneValue\t\tSTART");
  const size_t column = FindColumn(dwColumnId);
  int result = kResultOk;
  if (m_Dbf.IsOpen() && !m_bCut && column < m_Columns.size()) {
    const char* text = pValue != nullptr ? pValue : "";
    const std::string_view value(text, dwLength != 0 ? dwLength : std::strlen(text));
    MoveToColumn(column);
    if (!m_Dbf.IsOpen() || m_bCut) return m_bWriteFailed ? kResultWriteFailed : kResultOk;
    switch (m_Columns[column].chType) {
      case 'M':
      case 'B': {
        char pointer[kMemoPointerWidth + 1];
        std::snprintf(pointer, sizeof pointer, "%010u", m_dwNextMemoBlock);
        result = WriteToDBTFile(value.data(), value.size());
        // A value that could not be stored still takes its place in the record, as a blank.
        const int fieldResult = WriteField(result == kResultOk ? pointer : "", column);
        if (result == kResultOk) result = fieldResult;
        break;
      }
      case 'G':  // embedded objects are not kept: the field stays blank
        result = WriteField("", column);
        break;
      default:
        result = WriteField(value, column);
        break;
    }
  }
  g_Log.LogLine("DbfGen: CDbfGen::WriteOneValue\t\tEND");
  return result;
}

void CDbfGen::MoveToColumn(size_t targetColumn) {
  if (m_nCurrentColumn < targetColumn) {
    WriteBlankFields(m_nCurrentColumn, targetColumn);
  } else if (targetColumn < m_nCurrentColumn) {
    // The value belongs to the next record: finish this one first.
    WriteBlankFields(m_nCurrentColumn, m_Columns.size());
    WriteBlankFields(0, targetColumn);
  }
  m_nCurrentColumn = targetColumn + 1 < m_Columns.size() ? targetColumn + 1 : 0;
}

void CDbfGen::WriteBlankFields(size_t firstColumn, size_t endColumn) {
  for (size_t column = firstColumn; column < endColumn; ++column) WriteField("", column);
}

bool CDbfGen::RecordFitsLimit() {
  if (BytesWritten() + m_dwRecordLength + 1 <= m_qwOutputLimit) return true;
  m_bCut = true;
  g_Log.LogFormat("DbfGen: Output limit of %llu bytes reached; the table is cut after %u records",
                  static_cast<unsigned long long>(m_qwOutputLimit), m_dwRecordsWritten);
  return false;
}

int CDbfGen::WriteField(std::string_view value, size_t columnIndex) {
  if (!m_Dbf.IsOpen() || m_bCut) return m_bWriteFailed ? kResultWriteFailed : kResultOk;
  if (columnIndex == 0 && !RecordFitsLimit()) return kResultOk;
  // Room for the header terminator, the deletion flag and the widest field.
  char buffer[2 + kLargestFieldWidth];
  size_t prefix = 0;
  if (m_bTerminatorPending) {
    buffer[prefix++] = static_cast<char>(kHeaderTerminator);
    m_bTerminatorPending = false;
  }
  if (columnIndex == 0) buffer[prefix++] = kBlank;
  const size_t width = m_Columns[columnIndex].nWidth;
  std::fill(buffer + prefix, buffer + prefix + width, kBlank);
  std::copy_n(value.data(), std::min(value.size(), width), buffer + prefix);
  const int result = Checked(m_Dbf.Append(buffer, prefix + width));
  if (result == kResultOk && columnIndex == 0) ++m_dwRecordsWritten;
  return result;
}

void CDbfGen::WriteLastFields() {
  g_Log.LogLine("DbfGen: CDbfGen::WriteLastFields\t\tSTART");
  EndRecord();
  g_Log.LogLine("DbfGen: CDbfGen::WriteLastFields\t\tEND");
}

void CDbfGen::EndRecord() {
  if (m_nCurrentColumn != 0) {
    WriteBlankFields(m_nCurrentColumn, m_Columns.size());
    m_nCurrentColumn = 0;
  }
}

bool CDbfGen::PrepareDBTFile() {
  g_Log.LogLine("DbfGen: CDbfGen::PrepareDBTFile\t\tSTART");
  const std::u16string dbtPath = m_szDirectory + m_szShortName + u".dbt";
  // A memo file of this name made since the table was begun (a stored file, say) is not ours.
  const bool created = !platform::PathExists(dbtPath) && m_Dbt.Create(dbtPath);
  const uint8_t headerBlock[kMemoBlockSize] = {};
  if (created && m_Dbt.Append(headerBlock, sizeof headerBlock)) {
    const std::string name = ToNarrow(m_szShortName);
    std::copy_n(name.begin(), std::min(name.size(), kMemoNameLength),
                m_DbtHeader + kMemoNameOffset);
    Store32(m_DbtHeader + kMemoBlockSizeOffset, kMemoBlockSize);
  } else if (!m_Dbt.Failed()) {
    g_Log.LogFormat("DbfGen: Can't create %s: it exists already", ToNarrow(dbtPath).c_str());
  }
  g_Log.LogLine("DbfGen: CDbfGen::PrepareDBTFile\t\tEND");
  return m_Dbt.IsOpen();
}

int CDbfGen::WriteToDBTFile(const char* pValue, size_t length) {
  g_Log.LogLine("DbfGen: CDbfGen::WriteToDBTFile\t\tSTART");
  if (!m_bHasMemo) {
    m_bHasMemo = true;
    // Without its memo file the table would point into nothing, or into a foreign file.
    if (!PrepareDBTFile()) return Checked(false);
  }
  if (m_Dbt.IsOpen()) {
    const uint64_t blockCount = MemoBlockCount(length);
    const size_t size = static_cast<size_t>(blockCount * kMemoBlockSize);
    auto* blocks = static_cast<uint8_t*>(qrx::heap::AllocateZeroed(size));
    if (blocks == nullptr) {
      g_Log.LogFormat("can not allocate %zX bytes", size);
      return kResultNoMemory;
    }
    std::copy(std::begin(kMemoValueMark), std::end(kMemoValueMark), blocks);
    Store32(blocks + sizeof kMemoValueMark, static_cast<uint32_t>(length + kMemoValuePrefixSize));
    std::memcpy(blocks + kMemoValuePrefixSize, pValue, length);
    // Every value takes whole blocks, so the file always ends where the next free block begins.
    const bool written = m_Dbt.Append(blocks, size);
    qrx::heap::Release(blocks);
    if (!written) return Checked(false);
    m_dwNextMemoBlock += static_cast<uint32_t>(blockCount);
  }
  g_Log.LogLine("DbfGen: CDbfGen::WriteToDBTFile\t\tEND");
  return kResultOk;
}

bool CDbfGen::WriteHeaders() {
  g_Log.LogLine("DbfGen: CDbfGen::WriteHeaders\t\tSTART");
  bool written = true;
  if (m_Dbf.IsOpen()) {
    m_DbfHeader[kVersionOffset] = m_bHasMemo ? kVersionWithMemo : kVersionPlain;
    Store32(m_DbfHeader + kRecordCountOffset, m_dwRecordsWritten);
    written = m_Dbf.Overwrite(0, m_DbfHeader, sizeof m_DbfHeader);
  }
  if (written && m_Dbt.IsOpen()) {
    Store32(m_DbtHeader + kMemoNextFreeBlockOffset, m_dwNextMemoBlock);
    written = m_Dbt.Overwrite(0, m_DbtHeader, sizeof m_DbtHeader);
  }
  g_Log.LogLine("DbfGen: CDbfGen::WriteHeaders\t\tEND");
  return written;
}

int CDbfGen::Close() {
  g_Log.LogLine("DbfGen: CDbfGen::Close\t\tSTART");
  if (m_bWriteFailed) return kResultWriteFailed;
  if (m_Dbf.IsOpen()) {
    WriteLastFields();
    // With no record written the header terminator is still due.
    const char tail[] = {static_cast<char>(kHeaderTerminator), static_cast<char>(kEndOfFile)};
    const size_t skip = m_bTerminatorPending ? 0 : 1;
    m_bTerminatorPending = false;
    if (Checked(m_Dbf.IsOpen() && m_Dbf.Append(tail + skip, sizeof tail - skip)) != kResultOk) {
      return kResultWriteFailed;
    }
    // The memo file first: a table that looks finished has all its memo blocks.
    const bool hasMemo = m_Dbt.IsOpen();
    if (Checked(WriteHeaders() && (!hasMemo || m_Dbt.Commit()) && m_Dbf.Commit()) != kResultOk) {
      return kResultWriteFailed;
    }
    g_TableResults.AddFile(m_Dbf.FinalPath());
    if (hasMemo) g_TableResults.AddFile(m_Dbt.FinalPath());
  }
  g_Log.LogLine("DbfGen: CDbfGen::Close\t\tEND");
  return kResultOk;
}
