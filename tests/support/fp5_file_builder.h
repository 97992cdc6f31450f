// Builders for fp5 files as the database program lays them out: a 1024-byte file header, an unused
// kilobyte, the root index block (block 1, level >= 1) and data blocks of 1024 bytes, each with a
// 14-byte header (deleted flag, level, previous and next block, 1 + the length of the re-pushed
// path, live length) and a token stream that starts by re-pushing the path the previous block left
// open. Numbers are variable-length integers of 1 to 5 bytes; texts are MacRoman.
//
//   fp5file::BlockWriter out;
//   fp5file::WriteCatalogue(out, catalogue);
//   fp5file::WriteRecords(out, records);
//   const fp5file::Bytes file = fp5file::MakeFile(out.Blocks());
//
// Used by the tests, the fuzz seeds and the benchmarks (which stream large files through
// FileWriter). The classic page model of tests/support/fp5_builder.h is a different thing. Writers
// throw std::invalid_argument for what cannot be stored in the form asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fp5file {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

inline constexpr size_t kBlockSize = 1024;
inline constexpr size_t kBlockHeaderSize = 14;
inline constexpr size_t kMaxPayload = 1010;
inline constexpr size_t kFirstBlockOffset = 2048;  // block n lies at (n + 1) * 1024, n >= 1

// A number as a path component, field id, record id or piece key: 1 byte up to 127, 2 bytes up to
// 16,511, 3 up to 2,113,663, 4 up to 270,549,119, else 5.
Bytes Vli(uint32_t n);
// UTF-8 text as MacRoman bytes (CR stays CR).
Bytes MacRoman(std::string_view utf8);

// Appends tokens to a stream.
class TokenWriter {
 public:
  virtual ~TokenWriter() = default;

  TokenWriter& Push(uint32_t id) { return PushBytes(Vli(id)); }
  TokenWriter& PushBytes(ByteView component);  // C1-FE
  TokenWriter& Pop(size_t count = 1);          // C0
  // Key `key` below 64 as 40+key, with a 1-byte length, or FF 40+key with a 2-byte one (values over
  // 255 bytes, or any when `wideLength`).
  TokenWriter& Value(uint32_t key, ByteView value, bool wideLength = false);
  // A byte-string key (01-3F, or FF 01-04 with a 2-byte length).
  TokenWriter& KeyedValue(ByteView key, ByteView value, bool wideLength = false);
  TokenWriter& KeyZero(ByteView value);  // 00 N
  TokenWriter& Data(ByteView item);      // 80-BF
  // 01 FF 05 `first` and the 4-byte total length, closing a long value.
  TokenWriter& LengthCheck(uint32_t total, uint8_t first = 0x24);

  // Everything written, as one stream (a BlockWriter keeps blocks instead).
  const Bytes& bytes() const { return bytes_; }

 protected:
  enum class Effect { kToken, kPush, kPop };
  // Places one whole token.
  virtual void Emit(Bytes token, Effect effect);

 private:
  Bytes bytes_;
};

// One block: the live payload (starting with `prefix` bytes of re-pushed path), the stale bytes
// behind the live length, the index level and the deleted flag.
struct Block {
  Bytes payload;
  size_t prefix = 0;
  Bytes stale = {};
  uint8_t level = 0;
  bool deleted = false;
};

// Lays tokens into data blocks of at most `capacity` payload bytes. A token that does not fit
// starts the next block, which first re-pushes the path open at the break; blocks are not closed
// with pops, so a record broken there continues on the next block. With a `sink`, each finished
// block goes there instead of being kept.
class BlockWriter : public TokenWriter {
 public:
  explicit BlockWriter(size_t capacity = kMaxPayload, std::function<void(Block)> sink = {});
  // The blocks written so far, the current one finished.
  std::vector<Block> Blocks();
  // Hands the current block to the sink.
  void Flush();

 protected:
  void Emit(Bytes token, Effect effect) override;

 private:
  void StartBlock();

  size_t capacity_;
  std::function<void(Block)> sink_;
  std::vector<Block> blocks_;
  Block current_;
  std::vector<Bytes> openPushes_;
};

// A block's 1024 bytes: its header, with the links given, and its contents.
Bytes BlockBytes(const Block& block, uint32_t previous, uint32_t next);

// Writes a whole file block by block: the file header, the unused kilobyte, the root index block
// (block 1, level 1: where each data block's path starts, as many as fit) and the blocks added as
// blocks 2, 3, ... chained by their links.
class FileWriter {
 public:
  explicit FileWriter(std::ostream& out);
  void Add(const Block& block);
  // Writes the last block and the root; the file is complete after it.
  void Finish();

 private:
  void Write(const Block& block, uint32_t next);

  std::ostream& out_;
  Bytes rootEntries_;
  Block held_;
  uint32_t count_ = 0;
};

// The same in memory.
Bytes MakeFile(const std::vector<Block>& blocks);

// --- Where the table's facts live ---

enum FieldType : uint8_t {
  kText = 1,
  kNumber = 2,
  kDate = 3,
  kTime = 4,
  kContainer = 5,
  kCalculation = 6,
  kSummary = 7,
  kGlobal = 8,
};

struct Field {
  uint32_t id = 0;
  std::string name;  // UTF-8
  FieldType type = kText;
  bool stored = true;  // flag byte 0: 1 when stored, 3 for an unstored calculation or summary
  uint8_t repetitions = 1;
};

struct Catalogue {
  std::vector<Field> fields;       // under 3/5/F
  std::vector<uint32_t> order;     // 3/3, none when empty
  bool typeMembersAsData = false;  // 3/2/T members as data items 81 F, else as C1 F C0
  bool withFlags = true;           // key 2 of 3/5/F (else only 3/2 tells the types)
  bool typedFlags = true;          // the flags' type byte, else 0 (unknown) for every field
};

// 3 key 0 (the highest field id), 3/2 (the fields of each type), 3/3, 3/5.
void WriteCatalogue(TokenWriter& out, const Catalogue& catalogue);

enum class KeyForm {
  kShortest,  // 40+F below 64, 01 F up to 255, else 02/03 with the number
  kOneByte,   // 01 F, F up to 255
  kTwoByte,   // 02 with F as a 2-byte number (F from 128)
};
enum class PieceForm {
  kChecked,  // keys 1, 2, ... (40+n), closed by the 01 FF 05 length check
  kPlain,    // byte-string keys 00 01, 00 02, ..., no check
};

struct Value {
  uint32_t field = 0;
  std::string text;         // UTF-8
  uint32_t repetition = 1;  // above 1: a byte-string key of two numbers (field, repetition)
  KeyForm keyForm = KeyForm::kShortest;
  bool wideLength = false;  // the FF form with a 2-byte length even for a short value
  // A value over 255 bytes, or any when `pieceSize` is set, is a sub-path 5/R/F of pieces of at
  // most `pieceSize` bytes (210 as the program writes them when 0).
  PieceForm pieceForm = PieceForm::kChecked;
  size_t pieceSize = 0;
};

struct Record {
  uint32_t id = 0;
  std::vector<Value> values;
};

// The file marker at the root (key 0), alone in the first data block as the program writes it.
void WriteFileMarker(BlockWriter& out);

// One record under 5/R: its values, then the 0xFC bookkeeping key.
void WriteRecord(TokenWriter& out, const Record& record);
// 5, every record, pop.
void WriteRecords(TokenWriter& out, const std::vector<Record>& records);
// 0D: one data item per record id.
void WriteRecordIds(TokenWriter& out, const std::vector<Record>& records);

// The file marker, the catalogue, the records and the record-id list in blocks of
// `capacity` payload bytes.
std::vector<Block> LayOut(const Catalogue& catalogue, const std::vector<Record>& records,
                          size_t capacity = kMaxPayload);

}  // namespace fp5file
