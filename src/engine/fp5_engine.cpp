#include "engine/fp5_engine.h"

#include <algorithm>
#include <new>

#include "diag/log.h"

namespace {

constexpr uint8_t kOpen = 0xC1;
constexpr uint8_t kClose = 0xC0;
constexpr uint8_t kWideLength = 0xFF;
constexpr uint8_t kTypePair = 0x81;
constexpr uint8_t kColumnName = 'A';
constexpr uint8_t kSelectorBase = 0x40;
constexpr uint8_t kDefinitionKey = 3;
constexpr uint8_t kTypesKey = 2;
constexpr uint8_t kColumnsKey = 5;
constexpr uint8_t kDataKey = 5;
// Column type lists up to this long are logged in full after every type block.
constexpr size_t kTypesLoggedInFull = 1024;

// Appends without letting a failed growth escape: the record is then dropped like any record that
// could not be allocated.
template <typename T>
bool Append(std::vector<T>& list, const T& value) noexcept {
  try {
    list.push_back(value);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

int PageNumber(uint32_t page) {
  return static_cast<int>(page);
}

}  // namespace

CFM5::CFM5(const Fp5StopRules& rules)
    : CFMCEngine(kPageSize, kHeaderSize, kFirstPage, /*countRequired=*/false), m_pRules(&rules) {}

CFM5::~CFM5() {
  for (CFM5Item* item : m_Items) CFM5Item::Release(item);
  for (CFM5LongPiece* piece : m_LongPieces) CFM5LongPiece::Release(piece);
}

bool CFM5::IsFp5Page(std::span<const uint8_t> page) {
  if (page.size() < kPageSize || page[kHeaderSize] != kOpen) return false;
  const auto whole = page.first(kPageSize);
  return std::find(whole.begin(), whole.end(), kClose) != whole.end();
}

uint8_t CFM5::GetColumnType(uint16_t column) const {
  return column < m_FirstColumnTypes.size() && m_ColumnsTyped.test(column)
             ? m_FirstColumnTypes[column]
             : kDefaultColumnType;
}

uint16_t CFM5::PageEnd() const {
  return std::min<uint16_t>(m_pRules->PageEnd(*this), CursorAt(0).End() - 1);
}

uint16_t CFM5::ScanEnd() const {
  return std::min<uint16_t>(m_pRules->ScanEnd(*this), CursorAt(0).End() - 1);
}

void CFM5::ParsePage() {
  Fp5BlockCursor at = CursorAt(0);
  while (at.Position() < ScanEnd()) {
    const uint16_t opener = at.Position();
    const uint32_t page = m_nCurrentPage;
    const uint8_t marker = at.Peek();
    at.Advance(1);
    if (marker != kOpen) continue;
    m_nLevel = 1;
    const uint8_t key = at.Peek();
    if (key == kDefinitionKey) {
      ReadDefinitionBlock(at);
    } else if (key == kDataKey && m_pRules->OpensDataBlock(at, !m_Items.empty())) {
      g_Log.LogLine("Data found");
      ReadDataOfPage(at);
      ++m_nDataPages;
    } else {
      at.Advance(1);
    }
    // Whatever the block said, the scan never comes back to the block it has just read.
    if (m_nCurrentPage == page && at.Position() <= opener) at.MoveTo(opener + 1);
  }
}

void CFM5::ReadDefinitionBlock(Fp5BlockCursor& at) {
  const uint16_t keyPosition = at.Position();
  if (FindKey(kTypesKey, at)) {
    g_Log.LogFormat("Columns types found on Page %i", PageNumber(m_nCurrentPage));
    ReadColumnTypes(at);
  }
  // The column definitions are looked for from the key again, not from behind the types.
  Fp5BlockCursor columns = CursorAt(keyPosition);
  if (FindKey(kColumnsKey, columns)) {
    g_Log.LogFormat("Columns found on Page %i", PageNumber(m_nCurrentPage));
    at = columns;
    ReadColumns(at);
  } else {
    SkipBlock(at);
  }
}

void CFM5::SkipBlock(Fp5BlockCursor& at) {
  const uint32_t closedLevel = m_nLevel - 1;
  const uint16_t pageEnd = PageEnd();
  while (m_nLevel != closedLevel && at.Position() <= pageEnd) {
    // 0xC1 opens a block only when a key below 0x80 follows it.
    if (at.Peek() == kOpen && at.Peek(1) < 0x80) {
      ++m_nLevel;
    } else if (at.Peek() == kClose) {
      --m_nLevel;
    }
    at.Advance(1);
  }
  at.StepBack();
}

bool CFM5::FindKey(uint8_t key, Fp5BlockCursor& at) {
  const int32_t searchEnd = std::min<int32_t>(m_pRules->KeySearchEnd(*this), at.End() - 1);
  while (at.Position() < searchEnd) {
    at.Advance(1);
    if (at.Peek() == kClose) return false;
    if (at.Peek() == kOpen) {
      if (at.Peek(1) == key) return true;
      at.Advance(1);
      SkipBlock(at);
    }
  }
  return false;
}

void CFM5::ReadColumnTypes(Fp5BlockCursor& at) {
  const uint16_t pageEnd = PageEnd();
  const size_t firstOfBlock = m_ColumnTypes.size();
  at.Advance(2);
  while (!m_pRules->EndsTypeEntries(at, pageEnd)) {
    if (at.Peek(2) == kClose) {
      at.Advance(2);  // an entry without columns
    } else {
      const uint8_t type = at.Peek(1);
      at.Advance(2);
      while (at.Peek() == kTypePair) {
        const uint8_t column = at.Peek(1);
        if (!Append(m_ColumnTypes, CFM5ColumnType{column, type})) break;
        if (!m_ColumnsTyped.test(column)) {
          m_ColumnsTyped.set(column);
          m_FirstColumnTypes[column] = type;
        }
        at.Advance(2);
      }
    }
    at.Advance(1);
  }
  SkipBlock(at);
  // Every block logs the whole list, so that the log shows all types known so far. A file with a
  // type block on every page would make that quadratic in time and log size: past
  // kTypesLoggedInFull entries a block logs only its own.
  size_t from = 0;
  if (m_ColumnTypes.size() > kTypesLoggedInFull) {
    from = firstOfBlock;
    g_Log.LogFormat("[COLTYPES] %zu earlier entries not repeated", firstOfBlock);
  }
  for (size_t i = from; i < m_ColumnTypes.size(); ++i) {
    g_Log.LogFormat("[COLTYPES] col = %i, type = %i", m_ColumnTypes[i].m_nColumn,
                    m_ColumnTypes[i].m_nType);
  }
}

void CFM5::ReadColumns(Fp5BlockCursor& at) {
  g_Log.LogLine("-----------Columns-----------");
  const uint16_t pageEnd = PageEnd();
  at.Advance(2);
  while (!m_pRules->EndsColumnEntries(at, pageEnd)) {
    const uint8_t form = at.Peek();
    at.Advance(1);
    ReadColumnDefinition(form, at);
    SkipBlock(at);
    at.Advance(1);
  }
  if (!m_Items.empty()) {
    NextPage();
    ReadPage();
    at.MoveTo(0);
  }
  g_Log.LogLine("-----------ColumnsEnd-----------");
}

void CFM5::ReadColumnDefinition(uint8_t form, const Fp5BlockCursor& atId) {
  const int32_t width = Fp5BlockCursor::IdWidth(form);
  if (atId.Peek(width) != kColumnName || atId.Peek(width + 2) == 0) return;
  const uint16_t column = atId.Id(form);
  if (m_ColumnsInItems.test(column)) return;
  const uint16_t length = atId.CutBefore(width + 2, atId.Peek(width + 1), PageEnd());
  CFM5Item* item = CFM5Item::CreateBlank(0, column, GetColumnType(column), length);
  if (item == nullptr) return;
  atId.Copy(width + 2, length, reinterpret_cast<uint8_t*>(item->m_szText));
  g_Log.LogFormat("Col \xB9 %i: %s", column, item->m_szText);
  AppendItem(item);
}

void CFM5::ReadDataOfPage(Fp5BlockCursor& at) {
  const int page = PageNumber(m_nCurrentPage);
  g_Log.LogFormat("-----------DataOfPage %i -----------", page);
  at.Advance(2);
  while (at.Position() < ScanEnd() && m_nLevel != 0) {
    const uint8_t form = at.Peek(-1);
    const bool opensRecord = Fp5BlockCursor::IsIdForm(form);
    uint16_t record = 0;
    if (opensRecord) {
      record = at.Id(form);
      at.Advance(Fp5BlockCursor::IdWidth(form) - 1);
      ++m_nLevel;
    }
    at.Advance(1);
    if (opensRecord) ReadFields(record, at);
    SkipBlock(at);
    // A second 0xC0 closes the data block itself.
    if (at.Peek(1) == kClose) m_nLevel = 0;
    at.Advance(2);
  }
  g_Log.LogFormat("-----------DataOfPage %i End-----------", page);
}

void CFM5::ReadFields(uint16_t record, Fp5BlockCursor& at) {
  while (!at.AtEnd() && !m_pRules->EndsFields(at)) {
    const uint8_t selector = at.Peek();
    if (selector == kOpen) {
      ReadLongData(record, at);
      continue;
    }
    const uint16_t column = static_cast<uint16_t>(selector - kSelectorBase);
    const uint16_t length = at.CutBefore(2, at.Peek(1), PageEnd());
    CFM5Item* item = CFM5Item::CreateBlank(record, column, 0, length);
    if (item != nullptr) {
      at.Copy(2, length, reinterpret_cast<uint8_t*>(item->m_szText));
      g_Log.LogFormat("Row %i, Col %i : ", record, column);
      AppendItem(item);
    }
    at.Advance(2u + length);
  }
}

void CFM5::ReadLongData(uint16_t record, Fp5BlockCursor& at) {
  g_Log.LogLine("--------------------Long Data found--------------------");
  ++m_nLevel;
  const uint16_t column = at.Peek(1);
  at.Advance(2);
  // A 0xFF gives the piece behind it a two-byte length. The first piece's marker is passed over
  // before the end tests, so they look at its selector; a later piece's tests look at its marker.
  bool wideLength = at.Peek() == kWideLength;
  if (wideLength) at.Advance(1);
  for (bool first = true; !at.AtEnd() && !m_pRules->EndsPieces(at); first = false) {
    if (!first) {
      wideLength = at.Peek() == kWideLength;
      if (wideLength) at.Advance(1);
    }
    ReadLongPiece(record, column, wideLength, at);
  }
  SkipBlock(at);
  at.Advance(1);
  g_Log.LogLine("--------------------Long Data end--------------------");
}

void CFM5::ReadLongPiece(uint16_t record, uint16_t column, bool wideLength, Fp5BlockCursor& at) {
  const uint8_t selector = at.Peek();
  const uint32_t declared = wideLength ? (uint32_t{at.Peek(1)} << 8) | at.Peek(2) : at.Peek(1);
  const uint32_t lengthBytes = wideLength ? 2 : 1;
  const uint16_t length = at.CutBefore(1 + lengthBytes, declared, PageEnd());
  const auto piece = static_cast<uint16_t>(selector - kSelectorBase);
  CFM5LongPiece* longPiece = CFM5LongPiece::CreateBlank(piece, record, column, length);
  if (longPiece != nullptr) {
    at.Copy(1 + lengthBytes, length, reinterpret_cast<uint8_t*>(longPiece->m_szText));
    if (!Append(m_LongPieces, longPiece)) CFM5LongPiece::Release(longPiece);
  }
  at.Advance(1 + lengthBytes + length);
}

void CFM5::AppendItem(CFM5Item* item) {
  if (!Append(m_Items, item)) {
    CFM5Item::Release(item);
    return;
  }
  m_ColumnsInItems.set(item->m_nColumn);
}
