// Builders for fp7 files as the database program lays them out: encoded texts, chunk streams
// (path pushes and pops, key/values in every stored form, long values split into pieces), pages
// with their header, whole files, and the places where tables, columns, records and container
// objects live. Used by the tests, the fuzz seeds, the benchmarks and the bundled sample.
//
// Writers throw std::invalid_argument for what cannot be stored in the form asked for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fp7 {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

inline constexpr size_t kPageSize = 4096;
inline constexpr size_t kHeaderSize = 20;
inline constexpr size_t kFileStart = 8192;  // pages 0 and 1 hold no chunks
// The count of unused bytes must stay at least 1, so a data area holds at most this much.
inline constexpr size_t kMaxPageData = kPageSize - kHeaderSize - 1;
inline constexpr size_t kPieceSize = 1000;  // the largest value one chunk holds

// The decoded byte of every stored text byte, written down here independently of the engine so
// that tests can hold the engine's text map against it.
const std::array<uint8_t, 256>& TextGrid();
// `text` stored so that the text map gives it back (for each character the lowest stored byte
// that decodes to it).
Bytes EncodeText(std::string_view text);
inline ByteView View(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

enum class LongForm {
  kPlain,           // pieces keyed 1, 2, 3 ...
  kDeclaredLength,  // a first piece with key 0 holding the total length, then pieces 1, 2 ...
};

// How the writers store ids from 128 to 255 and texts.
enum class IdForm {
  // 0x20 with one byte, and texts through the one-byte map above, as the classic tests have it.
  kShortest,
  // As the database program writes them: 0x28 with two bytes (0x20 only up to 127), and texts as
  // their Latin-1 bytes XOR 0x5A (SCSU in its starting state, which holds Latin-1 as it is).
  kAsWritten,
};
// `text` (Latin-1, no control characters but TAB, LF and CR) as the database program stores it.
Bytes EncodeStoredText(std::string_view text);

// Appends chunks to a data area.
class ChunkWriter {
 public:
  virtual ~ChunkWriter() = default;

  void UseIdForm(IdForm form) { idForm_ = form; }
  IdForm Form() const { return idForm_; }

  // Path pushes. Push picks the shortest form for the id (see IdForm); PushAs writes opcode 0x20
  // (ID1), 0x28 (ID2, or b2 for ids up to 255), 0x30 (ID3), 0x38 (ID4, or the id 0xFFFFFFFF) or
  // 0xE8.
  ChunkWriter& Push(uint32_t id);
  ChunkWriter& PushAs(uint8_t opcode, uint32_t id);
  ChunkWriter& PushName(std::string_view name);  // 0x38 with key bytes
  // 0x30 with any tag byte before the two id bytes (as the database program writes d0, 80, 7f,
  // 01 ...), and 0x20 FE with an 8-byte id.
  ChunkWriter& PushTagged(uint8_t tag, uint16_t low);
  ChunkWriter& PushId8(uint64_t id);
  ChunkWriter& Pop(size_t count = 1);

  // Key/values. Value picks a form for the key and length (up to kPieceSize bytes; an empty
  // value only for keys up to 16766); ValueAs writes the given opcode (0x00 to 0x17), also with
  // lengths the engine refuses.
  ChunkWriter& Value(uint32_t key, ByteView value);
  ChunkWriter& ValueAs(uint8_t opcode, uint32_t key, ByteView value);
  ChunkWriter& Text(uint32_t key, std::string_view text) { return Value(key, Encode(text)); }
  // `text` stored in this writer's form.
  Bytes Encode(std::string_view text) const {
    return idForm_ == IdForm::kAsWritten ? EncodeStoredText(text) : EncodeText(text);
  }
  // Values keyed by bytes: opcode 0x19 (1 byte), 0x1A (2 bytes), 0x1B (4 bytes), 0x1C (6 bytes),
  // 0x1D (8 bytes), 0x1E (length byte), 0x1F (16-bit length); NamedValue picks one.
  ChunkWriter& NamedValue(std::string_view key, ByteView value);
  ChunkWriter& NamedValueAs(uint8_t opcode, std::string_view key, ByteView value);

  // A sub-path of pieces of at most `pieceSize` bytes, under a pushed id or name.
  ChunkWriter& LongValue(uint32_t id, ByteView value, LongForm form, size_t pieceSize = kPieceSize);
  ChunkWriter& NamedLongValue(std::string_view name, ByteView value, LongForm form,
                              size_t pieceSize = kPieceSize);
  ChunkWriter& LongText(uint32_t id, std::string_view text, LongForm form) {
    return LongValue(id, Encode(text), form);
  }

  // A numbered piece of a long value: 0x07 with a one-byte number, 0x0F with a 2-byte id (128 up).
  ChunkWriter& Segment(uint8_t opcode, uint32_t piece, ByteView bytes);
  // A data chunk without a key: 0x00 (1 byte), 0x08 (2), 0x0E FF (5 after the FF), 0x10 (3),
  // 0x11 (4), 0x12 (5), 0x13 (7), 0x14 (9), 0x15 (11) or 0x23 (a length byte, then the bytes).
  ChunkWriter& Data(uint8_t opcode, ByteView bytes);

  // Bytes without a chunk: opcode 0x80 (1 byte), 0x12 (47 bytes) or 0x1A (`count` + 4 bytes).
  ChunkWriter& Skip(uint8_t opcode, uint8_t count = 0);
  // Bytes as they are (damage, unknown opcodes).
  ChunkWriter& Raw(ByteView bytes);

  const Bytes& bytes() const { return bytes_; }

 protected:
  enum class Effect { kValue, kPush, kPop };
  // Places one whole chunk.
  virtual void Emit(Bytes chunk, Effect effect);

 private:
  void Pieces(ByteView value, LongForm form, size_t pieceSize);

  Bytes bytes_;
  IdForm idForm_ = IdForm::kShortest;
};

// A chunk writer that fills pages of `pageCapacity` data bytes. A chunk that does not fit goes
// to the next page, which first re-opens the path open at the break; every page is closed with
// pops for the levels still open at its end. A record or long value broken there thus occurs on
// both pages, as in files the database program has written.
class PageWriter : public ChunkWriter {
 public:
  explicit PageWriter(size_t pageCapacity = kMaxPageData);
  // The data areas written so far, the current one closed.
  std::vector<Bytes> Pages() const;

 protected:
  void Emit(Bytes chunk, Effect effect) override;

 private:
  size_t capacity_;
  std::vector<Bytes> pages_;
  Bytes current_;
  std::vector<Bytes> openPushes_;
};

// One page of kPageSize bytes: the header with the count of unused bytes at offset 14 (high byte
// first), the data area, zeros. MakePageWithCount stores any count (0 makes the page unreadable).
Bytes MakePage(ByteView data);
Bytes MakePageWithCount(ByteView data, uint16_t unusedCount);
// kFileStart zero bytes, then one page per data area.
Bytes MakeFile(const std::vector<Bytes>& dataAreas);

// --- Where a table's facts live ---

struct Column {
  uint32_t id = 0;
  std::string name;
  uint8_t typeCode[2] = {1, 1};  // key 2: the stored type bytes, low byte first
  // Key 2 as the database program writes it, 26 bytes (class, type, ..., storage at 9); when
  // empty, the two type bytes above stand in its place.
  Bytes definition = {};
};

// A 26-byte column definition: field class (1 data, 2 calculation, 3 summary), data type (1 text,
// 2 number, 3 date, 4 time, 5 timestamp, 6 container), storage (0 regular, 1 global, 10 unstored
// calculation), one repetition.
Bytes ColumnDefinition(uint8_t fieldClass, uint8_t dataType, uint8_t storage = 0);

// One occurrence of a record; the same id may occur several times in a table.
struct Record {
  uint32_t id = 0;
  std::vector<std::pair<uint32_t, std::string>> fields;  // column id, text
};

struct Container {
  uint32_t id = 0;
  std::string fileName;
  Bytes data;
};

struct Table {
  uint32_t id = 0;
  std::string name;
  bool singleTableMarker = false;  // key 252 in the table's catalogue entry
  std::vector<Column> columns;
  std::vector<Record> records;
  std::vector<Container> containers;
};

// The table list under 3/16/5: one sub-path per table with its name under key 16.
void WriteTableCatalogue(ChunkWriter& out, const std::vector<Table>& tables);
// Columns under T/3/5: one sub-path per column with its type under key 2, its name under key 16.
void WriteColumns(ChunkWriter& out, const Table& table);
// Records under (T mod 256)/5: one sub-path per occurrence, its fields keyed by column id; a text
// longer than one piece is a long value in the declared-length form.
void WriteRecords(ChunkWriter& out, const Table& table);
// Container objects under T/31/5 (in the program's form, under 31/5 for the whole file): per object
// a file reference under "FNAM" and its data under "FILE" (one value, or a sub-path of pieces
// keyed 1, 2 ... when longer than one piece).
void WriteContainers(ChunkWriter& out, const Table& table);
// The stored file reference naming a container object.
Bytes FileReference(std::string_view fileName, std::string_view platform = "win",
                    IdForm form = IdForm::kShortest);

// All of the above for every table, spread over pages of `pageCapacity` data bytes.
std::vector<Bytes> LayOutDatabase(const std::vector<Table>& tables,
                                  size_t pageCapacity = kMaxPageData,
                                  IdForm idForm = IdForm::kShortest);
inline Bytes BuildDatabase(const std::vector<Table>& tables, size_t pageCapacity = kMaxPageData,
                           IdForm idForm = IdForm::kShortest) {
  return MakeFile(LayOutDatabase(tables, pageCapacity, idForm));
}

// One table of SampleTables(1, 2) under `id` and `name`, holding `containers`.
Table SampleTable(uint32_t id, std::string name, std::vector<Container> containers = {});

// `tableCount` tables of four columns (text, number, text, number) with `recordsPerTable` records
// of short texts, every tenth record occurring a second time with one more field.
std::vector<Table> SampleTables(size_t tableCount, size_t recordsPerTable);

}  // namespace fp7
