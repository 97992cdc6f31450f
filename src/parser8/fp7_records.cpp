// The two record passes. A damaged file may hold one record several times (the same record id on
// several pages), with a long text split over the occurrences. The counting pass learns how often
// each id occurs and sizes the columns; the writing pass joins the occurrences of a record and
// writes it when the last one has been read, so only records still awaiting occurrences are held.
#include <algorithm>
#include <cstring>

#include "diag/log.h"
#include "diag/result_codes.h"
#include "parser8/fp7_parser.h"
#include "parser8/fp7_paths.h"
#include "platform/heap.h"

namespace {

// The bytes of a field: the value's text, or zeros when the value was kept without its bytes. A
// field with a declared length holds only the bytes present so far; later occurrences add theirs
// (JoinOccurrence), never more than the declared length.
bool FillFieldBytes(CDataOfField& field, const CFMValue& value) {
  const uint32_t length = value.m_dwLength;
  if (length == 0 && value.m_dwDeclaredLength == 0) {
    // Nothing held and nothing announced: only a text can make the field.
    return value.m_pText == nullptr || field.SetText(value.m_pText, std::strlen(value.m_pText));
  }
  field.m_szText = static_cast<char*>(qrx::heap::AllocateZeroed(size_t{length} + 1));
  if (field.m_szText == nullptr) {
    g_Log.LogFormat("can not allocate %X bytes", length + 1);
    return false;
  }
  if (value.m_pText != nullptr) std::memcpy(field.m_szText, value.m_pText, length);
  return true;
}

// Appends `piece`'s bytes to `field`; false when the field cannot grow.
bool AppendBytes(CDataOfField& field, const CDataOfField& piece) {
  const size_t joined = size_t{field.m_dwLength} + piece.m_dwLength;
  auto* grown = static_cast<char*>(qrx::heap::Reallocate(field.m_szText, joined + 1));
  if (grown == nullptr) {
    g_Log.LogFormat("can not realloc %zX bytes", joined + 1);
    return false;
  }
  std::memcpy(grown + field.m_dwLength, piece.m_szText, piece.m_dwLength);
  grown[joined] = '\0';
  field.m_szText = grown;
  field.m_dwLength = static_cast<uint32_t>(joined);
  return true;
}

// The first of the record's first `count` fields that announced a length for `piece`'s column and
// still has room for its bytes.
CDataOfField* FieldWithRoomFor(const CRowOfTable& record, size_t count, const CDataOfField& piece) {
  for (size_t i = 0; i < count; ++i) {
    CDataOfField& field = *record.m_Fields[i];
    if (field.m_dwID == piece.m_dwID && field.m_dwFullLength > 0 &&
        uint64_t{field.m_dwLength} + piece.m_dwLength <= field.m_dwFullLength) {
      return &field;
    }
  }
  return nullptr;
}

}  // namespace

int32_t CFMLogicParser8::ReadRecords(uint8_t tableId, bool write) {
  g_Log.LogLine("Clean data structures.");
  m_dwWrittenRecords = 0;
  m_DataOfTable.clear();
  int32_t result = 0;
  const std::vector<uint32_t> path = fp7_paths::RecordList(tableId, m_bSingleTableLayout);
  WalkPages(path, [&](uint16_t listIndex) {
    if (listIndex == CFMEngine::kNotFound) {
      g_Log.LogLine("Node not found.");
      return PageStep::kNextPage;
    }
    const std::vector<uint16_t> subPaths = m_Engine.GetSubPaths(listIndex);
    // A record list without records: the rest of the file is not read.
    if (subPaths.empty()) result = kResultNothing;
    for (const uint16_t subPath : subPaths) {
      const RecordStep step = ReadRecord(subPath, write);
      if (step == RecordStep::kLeavePage) break;
      if (step == RecordStep::kOutOfMemory) {
        result = kResultNothing;
        break;
      }
    }
    return result == 0 ? PageStep::kNextPage : PageStep::kStop;
  });
  return result;
}

CFMLogicParser8::RecordStep CFMLogicParser8::ReadRecord(uint16_t subPath, bool write) {
  if (write) g_Log.LogFormat("Try read record %i...", static_cast<int>(subPath));
  const std::optional<CFMNode> node = m_Engine.GetNode(subPath, true, false);
  if (!node || node->m_Values.empty()) {
    g_Log.LogLine("Can't read record.");
    return RecordStep::kLeavePage;
  }
  CRowOfTable occurrence;
  if (!BuildOccurrence(*node, occurrence)) return RecordStep::kOutOfMemory;
  if (write) g_Log.LogLine("EOF read values");
  // An occurrence without fields is neither counted nor written.
  if (occurrence.m_Fields.empty()) return RecordStep::kNextRecord;
  if (write) {
    AddRecord(occurrence);
  } else if (SaveRecord(occurrence) == 0) {
    return RecordStep::kOutOfMemory;
  }
  return RecordStep::kNextRecord;
}

bool CFMLogicParser8::BuildOccurrence(const CFMNode& node, CRowOfTable& occurrence) const {
  occurrence.m_dwKey = node.m_dwId;
  for (const CFMValue& value : node.m_Values) {
    // A value without a column, or without bytes, holds nothing to write.
    if (value.m_dwKey == 0) continue;
    std::unique_ptr<CDataOfField> field(new CDataOfField);
    if (field == nullptr) {
      g_Log.LogLine("can not create new CDataOfField");
      return false;
    }
    field->m_dwID = value.m_dwKey;
    field->m_dwLength = value.m_dwLength;
    field->m_dwFullLength = value.m_dwDeclaredLength;
    if (!FillFieldBytes(*field, value)) return false;
    if (field->m_szText != nullptr) occurrence.m_Fields.push_back(std::move(field));
  }
  return true;
}

int CFMLogicParser8::SaveRecord(const CRowOfTable& occurrence) {
  const uint32_t id = occurrence.m_dwKey;
  g_Log.LogFormat("Save record.ID %u", id);
  if (m_SeenRecords.Test(id)) {
    const auto [entry, first] = m_DuplicateCounts.try_emplace(id, 2);
    if (!first) ++entry->second;
  } else if (m_SeenRecords.Set(id)) {
    ++m_dwTotalRecords;
  } else {
    // Without the id's page of the bit set the counting cannot tell repeats apart any more.
    g_Log.LogFormat("can not allocate %zX bytes", CSeenRecords::kPageBytes);
    return 0;
  }
  for (const auto& field : occurrence.m_Fields) {
    const uint32_t width = std::max(field->m_dwLength, field->m_dwFullLength);
    const auto [entry, added] = m_ColumnCatalogue.try_emplace(
        field->m_dwID, CCatalogueColumn{width, kUnknownColumnName, kColumnText});
    if (added) {
      ++m_dwUnknownColumns;
      g_Log.LogFormat("Added Unknown Column added. ID %u, name %s, initial size %u", field->m_dwID,
                      kUnknownColumnName, width);
    } else {
      entry->second.m_dwWidth = std::max(entry->second.m_dwWidth, width);
    }
  }
  m_dwTotalColumns = static_cast<uint32_t>(m_ColumnCatalogue.size());
  return 1;
}

int CFMLogicParser8::AddRecord(CRowOfTable& occurrence) {
  const uint32_t id = occurrence.m_dwKey;
  m_pCurrentRecord = &occurrence;
  const uint32_t met = ++m_WrittenCounts[id];
  g_Log.LogFormat("Add record.ID %u", id);

  const auto pending = m_PendingRecords.find(id);
  if (pending != m_PendingRecords.end()) JoinOccurrence(pending->second, occurrence);
  CRowOfTable& record = pending != m_PendingRecords.end() ? pending->second : occurrence;
  if (!IsRecordComplete(id, met)) {
    if (pending == m_PendingRecords.end()) m_PendingRecords.emplace(id, std::move(occurrence));
    m_pCurrentRecord = nullptr;
    return 0;
  }
  m_pCurrentRecord = &record;
  WriteRecord(record);
  ++m_dwWrittenRecords;
  m_DuplicateCounts.erase(id);
  m_WrittenCounts.erase(id);
  if (pending != m_PendingRecords.end()) m_PendingRecords.erase(pending);
  m_pCurrentRecord = nullptr;
  return 1;
}

// A piece without a declared length goes into the first field of its column (among those the
// record held before) that announced a length and has room for it; anything else is appended as
// a field of its own.
void CFMLogicParser8::JoinOccurrence(CRowOfTable& stored, CRowOfTable& occurrence) const {
  const size_t heldBefore = stored.m_Fields.size();
  for (auto& field : occurrence.m_Fields) {
    if (field->m_dwFullLength == 0) {
      CDataOfField* target = FieldWithRoomFor(stored, heldBefore, *field);
      if (target != nullptr && AppendBytes(*target, *field)) continue;
    }
    stored.m_Fields.push_back(std::move(field));
  }
  occurrence.m_Fields.clear();
}

void CFMLogicParser8::WriteRecord(const CRowOfTable& record) {
  g_Log.LogFormat("Write to DBF: Cols %d, ID:%u, TOTAL RECs:%u",
                  static_cast<int>(record.m_Fields.size()), record.m_dwKey, m_dwWrittenRecords);
  for (const auto& field : record.m_Fields) {
    m_bTableWritten = true;
    // Every field holds its m_dwLength bytes followed by a zero.
    WriteValue(field->m_dwLength != 0 ? field->m_szText : "", field->m_dwID, field->m_dwLength);
  }
}

bool CFMLogicParser8::IsRecordComplete(uint32_t id, uint32_t met) const {
  const auto duplicate = m_DuplicateCounts.find(id);
  return duplicate == m_DuplicateCounts.end() || duplicate->second == met;
}
