#include "support/fp7_builder.h"

#include <algorithm>
#include <stdexcept>

namespace fp7 {
namespace {

[[noreturn]] void Refuse(const std::string& what) {
  throw std::invalid_argument("fp7 builder: " + what);
}

void Append(Bytes& out, ByteView bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}
void AppendU16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void AppendU32(Bytes& out, uint32_t v) {
  AppendU16(out, v >> 16);
  AppendU16(out, v & 0xFFFF);
}

constexpr uint32_t kId2First = 128, kId2Last = 128 + 0x3FFF;
constexpr uint32_t kId3First = 16512, kId3Last = 16512 + 0x3FFFFF;
constexpr uint32_t kId4Base14 = 0x204080, kId4Base15 = 0x304080;

bool IsId2(uint32_t id) {
  return id >= kId2First && id <= kId2Last;
}

void AppendId2(Bytes& out, uint32_t id) {
  if (!IsId2(id)) Refuse("id " + std::to_string(id) + " has no ID2 form");
  AppendU16(out, 0x8000 | (id - kId2First));
}

uint8_t Byte(uint32_t id, const char* form) {
  if (id > 0xFF) Refuse(std::string(form) + " takes ids up to 255");
  return static_cast<uint8_t>(id);
}

// b1 b2 b3 of opcode 0x17: (b2 b3) + 4096 t + 128, t from the high four bits h of b1.
void AppendK3(Bytes& out, uint32_t key) {
  for (int h = 0; h < 16; ++h) {
    const int64_t t = (h & 4) != 0 ? (h & 3) * 256 + 4 : h - 8;
    const int64_t rest = int64_t{key} - 128 - 4096 * t;
    if (rest >= 0 && rest <= 0xFFFF) {
      out.push_back(static_cast<uint8_t>(h << 4));
      AppendU16(out, static_cast<uint32_t>(rest));
      return;
    }
  }
  Refuse("key " + std::to_string(key) + " has no K3 form");
}

void CheckSize(ByteView value, size_t size, uint8_t opcode) {
  if (value.size() != size) {
    Refuse("opcode " + std::to_string(opcode) + " holds " + std::to_string(size) + " bytes");
  }
}

void AppendLength8(Bytes& out, ByteView value) {
  if (value.size() > 0xFF) Refuse("a length byte counts up to 255");
  out.push_back(static_cast<uint8_t>(value.size()));
  Append(out, value);
}

void AppendLength16(Bytes& out, ByteView value) {
  if (value.size() > 0xFFFF) Refuse("a 16-bit length counts up to 65535");
  AppendU16(out, static_cast<uint32_t>(value.size()));
  Append(out, value);
}

}  // namespace

const std::array<uint8_t, 256>& TextGrid() {
  static const std::array<uint8_t, 256> grid = [] {
    static const char* const kRows[16] = {
        "5A5B5859E0E0E05D5253505156575455", "4A4B48494E4F4C4D4243404146474445",
        "7A7B78797E207C7D7273707176777475", "6A6B68696E6F6C6D6263606166676465",
        "20202020202020202020202020202020", "4AD04849D0D0D00D4243404146474445",
        "3A3B38393E3F3C3D3233303136373435", "2A2B28292E2F2C2D2223202126272425",
        "C0EA202020E19A2020E0202099202020", "EAEBE8E9EEEFECEDE2E3E0E1E6E7E4E5",
        "20969B202020812020A2202094202020", "20898A82208B2020202085A091878486",
        "8A8B88898E8F8C8D8283808186878485", "20202020202020202020202020202020",
        "AAABA8A9EEEFACADA2A3A0A1A6A7A4A5", "9A9B98999E9F9C9D9293909196979495"};
    std::array<uint8_t, 256> g{};
    for (size_t i = 0; i < 256; ++i) {
      g[i] = static_cast<uint8_t>(
          std::stoi(std::string(kRows[i / 16] + 2 * (i % 16), 2), nullptr, 16));
    }
    return g;
  }();
  return grid;
}

Bytes EncodeText(std::string_view text) {
  static const std::array<int, 256> inverse = [] {
    std::array<int, 256> inv;
    inv.fill(-1);
    for (int stored = 0; stored < 256; ++stored) {
      if (inv[TextGrid()[stored]] < 0) inv[TextGrid()[stored]] = stored;
    }
    return inv;
  }();
  Bytes out;
  out.reserve(text.size());
  for (const char c : text) {
    const int stored = inverse[static_cast<uint8_t>(c)];
    if (stored < 0) Refuse("no stored byte decodes to " + std::to_string(static_cast<uint8_t>(c)));
    out.push_back(static_cast<uint8_t>(stored));
  }
  return out;
}

// --- ChunkWriter ---

void ChunkWriter::Emit(Bytes chunk, Effect) {
  Append(bytes_, chunk);
}

ChunkWriter& ChunkWriter::Push(uint32_t id) {
  if (id <= (idForm_ == IdForm::kShortest ? 0xFFu : 0x7Fu)) return PushAs(0x20, id);
  if (IsId2(id)) return PushAs(0x28, id);
  if (id >= kId3First && id <= kId3Last) return PushAs(0x30, id);
  return PushAs(0x38, id);
}

ChunkWriter& ChunkWriter::PushAs(uint8_t opcode, uint32_t id) {
  Bytes chunk{opcode};
  switch (opcode) {
    case 0x20:
      chunk.push_back(Byte(id, "ID1"));
      break;
    case 0x28:
      if (IsId2(id)) {
        AppendId2(chunk, id);
      } else {
        chunk.push_back(0);
        chunk.push_back(Byte(id, "0x28 without ID2"));
      }
      break;
    case 0x30:
      if (id < kId3First || id > kId3Last) Refuse("id " + std::to_string(id) + " has no ID3 form");
      chunk.push_back(static_cast<uint8_t>(0xC0 | ((id - kId3First) >> 16)));
      AppendU16(chunk, (id - kId3First) & 0xFFFF);
      break;
    case 0x38:
      if (id == 0xFFFFFFFF) {
        // Five payload bytes and a 0x80 behind them (which the engine then skips as a chunk).
        chunk.insert(chunk.end(), {5, 0, 0, 0, 0, 0, 0x80});
      } else if (id >= kId4Base14 && id - kId4Base14 <= 0x0FFFFFFF) {
        chunk.push_back(4);
        AppendU32(chunk, 0xE0000000 | (id - kId4Base14));
      } else if (id >= kId4Base15 && id - kId4Base15 <= 0x0FFFFFFF) {
        chunk.push_back(4);
        AppendU32(chunk, 0xF0000000 | (id - kId4Base15));
      } else {
        Refuse("id " + std::to_string(id) + " has no ID4 form");
      }
      break;
    case 0xE8:
      chunk.push_back(0);
      chunk.push_back(Byte(id, "0xE8"));
      break;
    default:
      Refuse("opcode " + std::to_string(opcode) + " is no path push");
  }
  Emit(std::move(chunk), Effect::kPush);
  return *this;
}

ChunkWriter& ChunkWriter::PushName(std::string_view name) {
  if (name.size() > 0xFF || (!name.empty() && static_cast<uint8_t>(name[0]) >= 0xE0)) {
    Refuse("a path name is at most 255 bytes and starts below 0xE0");
  }
  Bytes chunk{0x38, static_cast<uint8_t>(name.size())};
  chunk.insert(chunk.end(), name.begin(), name.end());
  Emit(std::move(chunk), Effect::kPush);
  return *this;
}

ChunkWriter& ChunkWriter::PushTagged(uint8_t tag, uint16_t low) {
  Bytes chunk{0x30, tag};
  AppendU16(chunk, low);
  Emit(std::move(chunk), Effect::kPush);
  return *this;
}

ChunkWriter& ChunkWriter::PushId8(uint64_t id) {
  Bytes chunk{0x20, 0xFE};
  AppendU32(chunk, static_cast<uint32_t>(id >> 32));
  AppendU32(chunk, static_cast<uint32_t>(id));
  Emit(std::move(chunk), Effect::kPush);
  return *this;
}

ChunkWriter& ChunkWriter::Pop(size_t count) {
  for (size_t i = 0; i < count; ++i) Emit(Bytes{0x40}, Effect::kPop);
  return *this;
}

ChunkWriter& ChunkWriter::Value(uint32_t key, ByteView value) {
  const size_t n = value.size();
  if (n > kPieceSize) Refuse("a value of more than 1000 bytes needs LongValue");
  if (key <= 0xFF) return ValueAs(n == 0 ? 0x00 : n <= 0xFF ? 0x06 : 0x07, key, value);
  // Only 0x16 (ID2 plus one byte) stores an empty value under a larger key.
  if (n == 0) return ValueAs(0x16, key, value);
  return ValueAs(IsId2(key) ? 0x0F : 0x17, key, value);
}

ChunkWriter& ChunkWriter::ValueAs(uint8_t opcode, uint32_t key, ByteView value) {
  // Chunk size of the forms whose value fills the chunk behind a one-byte (b1) or ID2 key.
  static constexpr uint8_t kByte1Sizes[] = {2, 3, 4, 6, 8, 10};  // 0x00 to 0x05
  static constexpr uint8_t kId2Sizes[] = {5, 7, 9, 11};          // 0x0A to 0x0D
  Bytes chunk{opcode};
  if (opcode <= 0x05 || opcode == 0x08) {
    chunk.push_back(Byte(key, "a b1 key"));
    CheckSize(value, (opcode == 0x08 ? 3 : kByte1Sizes[opcode]) - 2u, opcode);
    Append(chunk, value);
  } else if (opcode == 0x06 || opcode == 0x07) {
    chunk.push_back(Byte(key, "a b1 key"));
    opcode == 0x06 ? AppendLength8(chunk, value) : AppendLength16(chunk, value);
  } else if (opcode == 0x09) {
    if (IsId2(key) && value.size() == 1) {
      AppendId2(chunk, key);
    } else if (key <= 0xFF && (key < 0x80 || key > 0xBF) && value.size() == 2) {
      chunk.push_back(static_cast<uint8_t>(key));
    } else {
      Refuse("opcode 9 holds an ID2 key with 1 byte or a b1 key with 2 bytes");
    }
    Append(chunk, value);
  } else if ((opcode >= 0x0A && opcode <= 0x0D) || opcode == 0x15) {
    AppendId2(chunk, key);
    CheckSize(value, (opcode == 0x15 ? 12 : kId2Sizes[opcode - 0x0A]) - 3u, opcode);
    Append(chunk, value);
  } else if (opcode == 0x0E) {
    if (key < 0x80) {
      chunk.insert(chunk.end(), {static_cast<uint8_t>(key), 0});
    } else if (key >= 128 && key - 128 <= 0xFFF) {
      AppendU16(chunk, 0x8000 | (key - 128));
    } else {
      Refuse("opcode 14 takes keys up to 4223");
    }
    AppendLength8(chunk, value);
  } else if (opcode == 0x0F) {
    if (IsId2(key)) {
      AppendId2(chunk, key);
    } else {
      chunk.insert(chunk.end(), {0, Byte(key, "0x0F without ID2")});
    }
    AppendLength16(chunk, value);
  } else if (opcode == 0x16) {
    const uint32_t extra = key >= kId2First ? std::min<uint32_t>(0xFF, key - kId2First) : 0;
    AppendId2(chunk, key - extra);
    chunk.push_back(static_cast<uint8_t>(extra));
    AppendLength8(chunk, value);
  } else if (opcode == 0x17) {
    AppendK3(chunk, key);
    AppendLength16(chunk, value);
  } else {
    Refuse("opcode " + std::to_string(opcode) + " is no numbered key/value");
  }
  Emit(std::move(chunk), Effect::kValue);
  return *this;
}

ChunkWriter& ChunkWriter::NamedValue(std::string_view key, ByteView value) {
  const uint8_t opcode = value.size() == 4      ? 0x1B
                         : value.size() == 8    ? 0x1D
                         : value.size() <= 0xFF ? 0x1E
                                                : 0x1F;
  return NamedValueAs(opcode, key, value);
}

ChunkWriter& ChunkWriter::NamedValueAs(uint8_t opcode, std::string_view key, ByteView value) {
  if (key.size() > 0xFF) Refuse("key bytes count up to 255");
  Bytes chunk{opcode, static_cast<uint8_t>(key.size())};
  chunk.insert(chunk.end(), key.begin(), key.end());
  switch (opcode) {
    case 0x19:
    case 0x1A:
    case 0x1B:
    case 0x1C:
    case 0x1D: {
      static constexpr uint8_t kSizes[] = {1, 2, 4, 6, 8};
      CheckSize(value, kSizes[opcode - 0x19], opcode);
      Append(chunk, value);
      break;
    }
    case 0x1E:
      AppendLength8(chunk, value);
      break;
    case 0x1F:
      AppendLength16(chunk, value);
      break;
    default:
      Refuse("opcode " + std::to_string(opcode) + " is no key-bytes key/value");
  }
  Emit(std::move(chunk), Effect::kValue);
  return *this;
}

void ChunkWriter::Pieces(ByteView value, LongForm form, size_t pieceSize) {
  if (pieceSize == 0 || pieceSize > kPieceSize) Refuse("pieces hold 1 to 1000 bytes");
  if (form == LongForm::kDeclaredLength) {
    Bytes total;
    AppendU32(total, static_cast<uint32_t>(value.size()));
    ValueAs(0x03, 0, total);
  }
  uint32_t key = 1;
  for (size_t at = 0; at < value.size(); at += pieceSize, ++key) {
    Value(key, value.subspan(at, std::min(pieceSize, value.size() - at)));
  }
}

ChunkWriter& ChunkWriter::LongValue(uint32_t id, ByteView value, LongForm form, size_t pieceSize) {
  Push(id);
  Pieces(value, form, pieceSize);
  return Pop();
}

ChunkWriter& ChunkWriter::NamedLongValue(std::string_view name, ByteView value, LongForm form,
                                         size_t pieceSize) {
  PushName(name);
  Pieces(value, form, pieceSize);
  return Pop();
}

ChunkWriter& ChunkWriter::Segment(uint8_t opcode, uint32_t piece, ByteView bytes) {
  Bytes chunk{opcode};
  if (opcode == 0x07) {
    chunk.push_back(Byte(piece, "0x07"));
  } else if (opcode == 0x0F) {
    AppendId2(chunk, piece);
  } else {
    Refuse("opcode " + std::to_string(opcode) + " is no segment");
  }
  AppendLength16(chunk, bytes);
  Emit(std::move(chunk), Effect::kValue);
  return *this;
}

ChunkWriter& ChunkWriter::Data(uint8_t opcode, ByteView bytes) {
  Bytes chunk{opcode};
  if (opcode == 0x23) {
    AppendLength8(chunk, bytes);
  } else {
    static constexpr uint8_t kSizes[] = {3, 4, 5, 7, 9, 11};  // 0x10 to 0x15
    const size_t size = opcode == 0x00                     ? 1
                        : opcode == 0x08                   ? 2
                        : opcode == 0x0E                   ? 5
                        : opcode >= 0x10 && opcode <= 0x15 ? kSizes[opcode - 0x10]
                                                           : 0;
    if (size == 0) Refuse("opcode " + std::to_string(opcode) + " is no data chunk");
    CheckSize(bytes, size, opcode);
    if (opcode == 0x0E) chunk.push_back(0xFF);
    Append(chunk, bytes);
  }
  Emit(std::move(chunk), Effect::kValue);
  return *this;
}

ChunkWriter& ChunkWriter::Skip(uint8_t opcode, uint8_t count) {
  Bytes chunk{opcode};
  if (opcode == 0x12) {
    chunk.resize(47);
  } else if (opcode == 0x1A) {
    chunk.push_back(count);
    chunk.resize(count + 4u);
  } else if (opcode != 0x80) {
    Refuse("opcode " + std::to_string(opcode) + " skips nothing");
  }
  Emit(std::move(chunk), Effect::kValue);
  return *this;
}

ChunkWriter& ChunkWriter::Raw(ByteView bytes) {
  Emit(Bytes(bytes.begin(), bytes.end()), Effect::kValue);
  return *this;
}

// --- PageWriter ---

PageWriter::PageWriter(size_t pageCapacity) : capacity_(pageCapacity) {
  if (capacity_ == 0 || capacity_ > kMaxPageData) Refuse("a page holds 1 to 4075 data bytes");
}

void PageWriter::Emit(Bytes chunk, Effect effect) {
  // Room is kept for the pops that close the levels open behind the chunk.
  const size_t openAfter = openPushes_.size() + (effect == Effect::kPush ? 1 : 0) -
                           (effect == Effect::kPop && !openPushes_.empty() ? 1 : 0);
  if (current_.size() + chunk.size() + openAfter > capacity_) {
    pages_.push_back(current_);
    pages_.back().insert(pages_.back().end(), openPushes_.size(), 0x40);
    current_.clear();
    for (const Bytes& push : openPushes_) Append(current_, push);
    if (current_.size() + chunk.size() + openAfter > capacity_) {
      Refuse("a chunk of " + std::to_string(chunk.size()) + " bytes does not fit a page");
    }
  }
  Append(current_, chunk);
  if (effect == Effect::kPush) openPushes_.push_back(std::move(chunk));
  if (effect == Effect::kPop && !openPushes_.empty()) openPushes_.pop_back();
}

std::vector<Bytes> PageWriter::Pages() const {
  std::vector<Bytes> pages = pages_;
  pages.push_back(current_);
  pages.back().insert(pages.back().end(), openPushes_.size(), 0x40);
  return pages;
}

// --- Pages and files ---

Bytes MakePageWithCount(ByteView data, uint16_t unusedCount) {
  if (data.size() > kPageSize - kHeaderSize) Refuse("a data area holds at most 4076 bytes");
  Bytes page(kPageSize, 0);
  page[14] = static_cast<uint8_t>(unusedCount >> 8);
  page[15] = static_cast<uint8_t>(unusedCount);
  std::copy(data.begin(), data.end(), page.begin() + kHeaderSize);
  return page;
}

Bytes MakePage(ByteView data) {
  if (data.size() > kMaxPageData) Refuse("a data area holds at most 4075 bytes");
  return MakePageWithCount(data, static_cast<uint16_t>(kPageSize - kHeaderSize - data.size()));
}

Bytes MakeFile(const std::vector<Bytes>& dataAreas) {
  Bytes file(kFileStart, 0);
  file.reserve(kFileStart + dataAreas.size() * kPageSize);
  for (const Bytes& data : dataAreas) Append(file, MakePage(data));
  return file;
}

// --- Layout of tables ---

namespace {
constexpr uint32_t kNameKey = 16, kTypeKey = 2, kSingleTableKey = 252;
constexpr uint32_t kListId = 5, kColumnsId = 3, kTablesId = 16, kContainersId = 31;
}  // namespace

void WriteTableCatalogue(ChunkWriter& out, const std::vector<Table>& tables) {
  out.Push(3).Push(kTablesId).Push(kListId);
  for (const Table& table : tables) {
    out.Push(table.id).Text(kNameKey, table.name);
    if (table.singleTableMarker) out.Value(kSingleTableKey, Bytes{1});
    out.Pop();
  }
  out.Pop(3);
}

void WriteColumns(ChunkWriter& out, const Table& table) {
  out.Push(table.id).Push(kColumnsId).Push(kListId);
  for (const Column& column : table.columns) {
    if (column.definition.empty()) {
      out.Push(column.id).Value(kTypeKey, column.typeCode);
    } else {
      out.Push(column.id).Value(kTypeKey, column.definition);
    }
    out.Text(kNameKey, column.name).Pop();
  }
  out.Pop(3);
}

void WriteRecords(ChunkWriter& out, const Table& table) {
  out.Push(table.id % 256).Push(kListId);
  for (const Record& record : table.records) {
    out.Push(record.id);
    for (const auto& [column, text] : record.fields) {
      const Bytes stored = out.Encode(text);
      if (out.Form() == IdForm::kAsWritten && stored.size() > 0xFF) {
        // The program keeps a value too long for one 0x06 chunk as a sub-path of 0x07 segments
        // of up to 1000 bytes, numbered from 1.
        out.Push(column);
        for (size_t at = 0, piece = 1; at < stored.size(); at += kPieceSize, ++piece) {
          const size_t size = std::min(kPieceSize, stored.size() - at);
          out.Segment(0x07, static_cast<uint32_t>(piece), ByteView(stored).subspan(at, size));
        }
        out.Pop();
      } else if (stored.size() <= kPieceSize) {
        out.Value(column, stored);
      } else {
        out.LongValue(column, stored, LongForm::kDeclaredLength);
      }
    }
    out.Pop();
  }
  out.Pop(2);
}

Bytes EncodeStoredText(std::string_view text) {
  Bytes stored;
  for (const char c : text) stored.push_back(static_cast<uint8_t>(c) ^ 0x5A);
  return stored;
}

Bytes ColumnDefinition(uint8_t fieldClass, uint8_t dataType, uint8_t storage) {
  Bytes definition(26, 0);
  definition[0] = fieldClass;
  definition[1] = dataType;
  definition[9] = storage;
  definition[25] = 1;
  return definition;
}

Bytes FileReference(std::string_view fileName, std::string_view platform, IdForm form) {
  const auto encode = form == IdForm::kAsWritten ? EncodeStoredText : EncodeText;
  Bytes ref{0, 0, 0, 0, 7};
  Append(ref, encode(std::string("file") + std::string(platform)));
  ref.insert(ref.end(), {0xDA, 0x00});
  Append(ref, encode(fileName));
  return ref;
}

void WriteContainers(ChunkWriter& out, const Table& table) {
  // The database program keeps every object of the file under 31/5; the classic tests have them
  // under each table's T/31/5.
  if (out.Form() == IdForm::kAsWritten) {
    out.Push(kContainersId).Push(kListId);
  } else {
    out.Push(table.id).Push(kContainersId).Push(kListId);
  }
  for (const Container& object : table.containers) {
    out.Push(object.id).NamedValue("FNAM", FileReference(object.fileName, "win", out.Form()));
    if (object.data.size() <= kPieceSize) {
      out.NamedValueAs(0x1F, "FILE", object.data);
    } else {
      out.NamedLongValue("FILE", object.data, LongForm::kPlain);
    }
    out.Pop();
  }
  out.Pop(out.Form() == IdForm::kAsWritten ? 2 : 3);
}

std::vector<Bytes> LayOutDatabase(const std::vector<Table>& tables, size_t pageCapacity,
                                  IdForm idForm) {
  PageWriter out(pageCapacity);
  out.UseIdForm(idForm);
  WriteTableCatalogue(out, tables);
  for (const Table& table : tables) {
    WriteColumns(out, table);
    WriteRecords(out, table);
    if (!table.containers.empty()) WriteContainers(out, table);
  }
  return out.Pages();
}

std::vector<Table> SampleTables(size_t tableCount, size_t recordsPerTable) {
  std::vector<Table> tables;
  for (size_t t = 0; t < tableCount; ++t) {
    Table table;
    table.id = static_cast<uint32_t>(129 + t);
    table.name = "Table" + std::to_string(t + 1);
    table.columns = {
        {1, "Name", {1, 1}}, {2, "Amount", {1, 2}}, {3, "Note", {1, 1}}, {4, "Count", {3, 2}}};
    for (size_t r = 0; r < recordsPerTable; ++r) {
      Record record{static_cast<uint32_t>(r + 1),
                    {{1, "Name " + std::to_string(r)},
                     {2, std::to_string(r * 7 % 1000)},
                     {3, "Note for record " + std::to_string(r) + " of " + table.name}}};
      table.records.push_back(record);
      if (r % 10 == 9) table.records.push_back({record.id, {{4, std::to_string(r)}}});
    }
    tables.push_back(std::move(table));
  }
  return tables;
}

Table SampleTable(uint32_t id, std::string name, std::vector<Container> containers) {
  Table table = SampleTables(1, 2)[0];
  table.id = id;
  table.name = std::move(name);
  table.containers = std::move(containers);
  return table;
}

}  // namespace fp7
