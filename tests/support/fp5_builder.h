// Composes fp5 files as the database program lays them out: a 4096-byte start, then pages of 1024
// bytes (a 14-byte header and a data area of 1010 bytes) holding nested blocks 0xC1 key ... 0xC0.
//
//   Fp5FileBuilder file;
//   file.AddDefinitions({{kTextType, {1, 2}}}, {{1, "Name"}, {2, "City"}})
//       .AddRecords({{Fp5Id::Auto(1), {Fp5Field::Value(1, "Ann"), Fp5Field::Value(2, "Rome")}}});
//   file.WriteTo(path);
//
// The block encoders are public too, so that tests can place single blocks in pages of their own.
// The builder writes what it is told: values whose bytes look like block markers (0xC0, or 0xC1
// before a byte below 0x80) confuse a reader just as they would in a real file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fp5build {

using Bytes = std::vector<uint8_t>;

constexpr size_t kStartSize = 4096;
constexpr size_t kPageSize = 1024;
constexpr size_t kHeaderSize = 14;
constexpr size_t kDataAreaSize = kPageSize - kHeaderSize;

// A record or column id with the byte that introduces it.
struct Fp5Id {
  // 0xC1 b.
  static Bytes OneByte(uint8_t value);
  // 0xC2 b0 b1 for 0x80 <= value <= 0x807F + 0x7F00 (32895).
  static Bytes TwoBytes(uint16_t value);
  // 0xC3 b0 b1 b2; the reader makes 86 * b0 + 256 * b1 + b2 of it.
  static Bytes ThreeBytes(uint8_t b0, uint8_t b1, uint8_t b2);
  // The one-byte form below 0x80 (where 0xC1 id still opens a block), else the two-byte form.
  static Bytes Auto(uint16_t value);
};

// A field of a record: a value (selector 0x40 + column, length byte, bytes), or pieces of a long
// text (0xC1 column, then per piece selector 0x40 + number and a one-byte length, or 0xFF selector
// and a two-byte length when the piece is longer than 255 bytes, then 0xC0).
struct Fp5Field {
  uint8_t column = 0;  // 1 to 127 for a value
  std::string text;
  std::vector<std::string> pieces;
  uint8_t firstPiece = 1;
  bool isLongText = false;

  static Fp5Field Value(uint8_t column, std::string text);
  static Fp5Field LongText(uint8_t column, std::vector<std::string> pieces, uint8_t firstPiece = 1);
};

struct Fp5Record {
  Bytes id;  // from Fp5Id
  std::vector<Fp5Field> fields;
};

// The columns of one type byte, as in a column type entry 0xC1 type (0x81 column)... 0xC0.
struct Fp5TypeEntry {
  uint8_t type;
  std::vector<uint8_t> columns;
};

struct Fp5Column {
  uint16_t id;
  std::string name;
};

// Block encoders.
// 0xC1 2, the entries, 0xC0.
Bytes ColumnTypeBlock(const std::vector<Fp5TypeEntry>& entries);
// (0xC1 id | 0xC2 b0 b1) 'A' length name 0xC0.
Bytes ColumnDefinition(const Fp5Column& column);
// 0xC1 3, the column type block when there are types, 0xC1 5 with the definitions 0xC0, 0xC0.
Bytes DefinitionBlock(const std::vector<Fp5TypeEntry>& types,
                      const std::vector<Fp5Column>& columns);
// The record's id, its fields, 0xC0 (the 0xC1 5 of the data block precedes the first record).
Bytes RecordBytes(const Fp5Record& record);
// 0xC1 5, the records, 0xC0.
Bytes DataBlock(const std::vector<Fp5Record>& records);

class Fp5FileBuilder {
 public:
  // A page whose data area starts with `area` (at most kDataAreaSize bytes) and is zero behind it.
  Fp5FileBuilder& AddPage(const Bytes& area);
  // The column types and definitions, on a page of their own.
  Fp5FileBuilder& AddDefinitions(const std::vector<Fp5TypeEntry>& types,
                                 const std::vector<Fp5Column>& columns);
  // The records in data blocks, one block per page, starting on a new page and taking as many
  // pages as they need. A record must fit one page.
  Fp5FileBuilder& AddRecords(const std::vector<Fp5Record>& records);

  // Number of pages behind the start; the first of them is page 4 of the file.
  size_t PageCount() const { return pages_.size() / kPageSize; }
  Bytes Build() const;
  void WriteTo(const std::filesystem::path& path) const;

 private:
  Bytes pages_;
};

}  // namespace fp5build
