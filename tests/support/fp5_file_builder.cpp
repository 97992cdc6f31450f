#include "support/fp5_file_builder.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <stdexcept>

namespace fp5file {
namespace {

[[noreturn]] void Refuse(const std::string& what) {
  throw std::invalid_argument("fp5 file builder: " + what);
}

void Append(Bytes& out, ByteView bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}
void AppendBigEndian(Bytes& out, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Unicode of MacRoman 0x80-0xFF.
constexpr std::array<char16_t, 128> kMacRomanHigh = {
    0xC4,   0xC5,   0xC7,   0xC9,   0xD1,   0xD6,  0xDC,   0xE1,   0xE0,   0xE2,   0xE4,   0xE3,
    0xE5,   0xE7,   0xE9,   0xE8,   0xEA,   0xEB,  0xED,   0xEC,   0xEE,   0xEF,   0xF1,   0xF3,
    0xF2,   0xF4,   0xF6,   0xF5,   0xFA,   0xF9,  0xFB,   0xFC,   0x2020, 0xB0,   0xA2,   0xA3,
    0xA7,   0x2022, 0xB6,   0xDF,   0xAE,   0xA9,  0x2122, 0xB4,   0xA8,   0x2260, 0xC6,   0xD8,
    0x221E, 0xB1,   0x2264, 0x2265, 0xA5,   0xB5,  0x2202, 0x2211, 0x220F, 0x3C0,  0x222B, 0xAA,
    0xBA,   0x3A9,  0xE6,   0xF8,   0xBF,   0xA1,  0xAC,   0x221A, 0x192,  0x2248, 0x2206, 0xAB,
    0xBB,   0x2026, 0xA0,   0xC0,   0xC3,   0xD5,  0x152,  0x153,  0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0xF7,   0x25CA, 0xFF,   0x178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0xB7,   0x201A, 0x201E, 0x2030, 0xC2,  0xCA,   0xC1,   0xCB,   0xC8,   0xCD,   0xCE,
    0xCF,   0xCC,   0xD3,   0xD4,   0xF8FF, 0xD2,  0xDA,   0xDB,   0xD9,   0x131,  0x2C6,  0x2DC,
    0xAF,   0x2D8,  0x2D9,  0x2DA,  0xB8,   0x2DD, 0x2DB,  0x2C7};

// The header as the database program writes it: the common magic, a filler text, the "HBAM" block
// with the program's date and version at 0x200, a copyright line at the end.
Bytes FileHeader() {
  Bytes header(kBlockSize, 0);
  const uint8_t magic[] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01,
                           0x00, 0x05, 0x00, 0x02, 0x00, 0x02, 0xC0};
  std::copy(std::begin(magic), std::end(magic), header.begin());
  const std::string filler = "All play and no work makes John a good boy. ";
  for (size_t i = sizeof magic; i < 0x3DA; ++i) header[i] = filler[i % filler.size()];
  Bytes marker = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0x1D, 0, 0x0E, 0};
  const std::string version = "HBAM2016AUG95\xC1\x02H\x07Pro 5.0\xC0\xC0";
  marker.insert(marker.end(), version.begin(), version.end());
  std::copy(marker.begin(), marker.end(), header.begin() + 0x200);
  const std::string copyright = "Copyright 1984-1997 Claris Corporation";
  std::copy(copyright.begin(), copyright.end(), header.begin() + 0x3DA);
  return header;
}

// The root's entry for data block `number`: its re-pushed path, key 0 -> the block, pops.
Bytes RootEntry(const Block& block, uint32_t number) {
  Bytes entry(block.payload.begin(), block.payload.begin() + static_cast<ptrdiff_t>(block.prefix));
  size_t pushes = 0;
  for (size_t at = 0; at < block.prefix; at += 1 + (block.payload[at] - 0xC0u)) ++pushes;
  entry.insert(entry.end(), {0x00, 0x04});
  AppendBigEndian(entry, number, 4);
  entry.insert(entry.end(), pushes, 0xC0);
  return entry;
}

void AddRootEntry(Bytes& entries, const Block& block, uint32_t number) {
  const Bytes entry = RootEntry(block, number);
  if (entries.size() + entry.size() <= kMaxPayload) Append(entries, entry);
}

Block Root(const Bytes& entries) {
  return {entries, 0, {}, 1, false};
}

}  // namespace

Bytes Vli(uint32_t n) {
  Bytes out;
  if (n < 0x80) {
    out.push_back(static_cast<uint8_t>(n));
  } else if (n < 0x4080) {
    AppendBigEndian(out, 0x8000u | (n - 0x80u), 2);
  } else if (n < 0x204080) {
    AppendBigEndian(out, 0xC00000u | (n - 0x4080u), 3);
  } else if (n < 0x10204080) {
    AppendBigEndian(out, 0xE0000000u | (n - 0x204080u), 4);
  } else {
    AppendBigEndian(out, 0xF000000000u | (n - 0x10204080u), 5);
  }
  return out;
}

Bytes MacRoman(std::string_view utf8) {
  Bytes out;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length > utf8.size()) Refuse("text is not UTF-8");
    uint32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
    i += length;
    if (c < 0x80) {
      out.push_back(static_cast<uint8_t>(c));
      continue;
    }
    const auto* found = std::find(kMacRomanHigh.begin(), kMacRomanHigh.end(), c);
    if (found == kMacRomanHigh.end()) Refuse("a character MacRoman lacks");
    out.push_back(static_cast<uint8_t>(0x80 + (found - kMacRomanHigh.begin())));
  }
  return out;
}

// --- Tokens ---

TokenWriter& TokenWriter::PushBytes(ByteView component) {
  if (component.empty() || component.size() > 0x3E) Refuse("a path component of 1 to 62 bytes");
  Bytes token = {static_cast<uint8_t>(0xC0 + component.size())};
  Append(token, component);
  Emit(std::move(token), Effect::kPush);
  return *this;
}

TokenWriter& TokenWriter::Pop(size_t count) {
  for (size_t i = 0; i < count; ++i) Emit({0xC0}, Effect::kPop);
  return *this;
}

TokenWriter& TokenWriter::Value(uint32_t key, ByteView value, bool wideLength) {
  if (key > 0x3F) Refuse("key " + std::to_string(key) + " has no single-byte form");
  if (value.size() > 0xFFFF) Refuse("a value over 65,535 bytes");
  Bytes token;
  const bool wide = wideLength || value.size() > 0xFF;
  if (wide) token.push_back(0xFF);
  token.push_back(static_cast<uint8_t>(0x40 + key));
  AppendBigEndian(token, value.size(), wide ? 2 : 1);
  Append(token, value);
  Emit(std::move(token), Effect::kToken);
  return *this;
}

TokenWriter& TokenWriter::KeyedValue(ByteView key, ByteView value, bool wideLength) {
  const bool wide = wideLength || value.size() > 0xFF;
  if (key.empty() || key.size() > (wide ? 4u : 0x3Fu)) Refuse("no token for a key this long");
  if (value.size() > 0xFFFF) Refuse("a value over 65,535 bytes");
  Bytes token;
  if (wide) token.push_back(0xFF);
  token.push_back(static_cast<uint8_t>(key.size()));
  Append(token, key);
  AppendBigEndian(token, value.size(), wide ? 2 : 1);
  Append(token, value);
  Emit(std::move(token), Effect::kToken);
  return *this;
}

TokenWriter& TokenWriter::KeyZero(ByteView value) {
  if (value.size() > 0xFF) Refuse("key 0 holds at most 255 bytes");
  Bytes token = {0x00, static_cast<uint8_t>(value.size())};
  Append(token, value);
  Emit(std::move(token), Effect::kToken);
  return *this;
}

TokenWriter& TokenWriter::Data(ByteView item) {
  if (item.size() > 0x3F) Refuse("a data item holds at most 63 bytes");
  Bytes token = {static_cast<uint8_t>(0x80 + item.size())};
  Append(token, item);
  Emit(std::move(token), Effect::kToken);
  return *this;
}

TokenWriter& TokenWriter::LengthCheck(uint32_t total, uint8_t first) {
  Bytes token = {0x01, 0xFF, 0x05, first};
  AppendBigEndian(token, total, 4);
  Emit(std::move(token), Effect::kToken);
  return *this;
}

void TokenWriter::Emit(Bytes token, Effect) {
  Append(bytes_, token);
}

// --- Blocks ---

BlockWriter::BlockWriter(size_t capacity, std::function<void(Block)> sink)
    : capacity_(capacity), sink_(std::move(sink)) {
  if (capacity_ == 0 || capacity_ > kMaxPayload) Refuse("a block holds 1 to 1010 bytes");
}

void BlockWriter::StartBlock() {
  current_ = {};
  for (const Bytes& push : openPushes_) Append(current_.payload, push);
  current_.prefix = current_.payload.size();
  if (current_.prefix >= capacity_) Refuse("the open path fills a whole block");
}

void BlockWriter::Emit(Bytes token, Effect effect) {
  if (current_.payload.size() + token.size() > capacity_ &&
      current_.payload.size() > current_.prefix) {
    Flush();
  }
  if (current_.payload.empty() && !openPushes_.empty()) StartBlock();
  if (current_.payload.size() + token.size() > capacity_) Refuse("a token larger than a block");
  Append(current_.payload, token);
  if (effect == Effect::kPush) openPushes_.push_back(std::move(token));
  if (effect == Effect::kPop && !openPushes_.empty()) openPushes_.pop_back();
}

void BlockWriter::Flush() {
  if (current_.payload.size() <= current_.prefix) return;
  if (sink_) {
    sink_(std::move(current_));
  } else {
    blocks_.push_back(std::move(current_));
  }
  current_ = {};
}

std::vector<Block> BlockWriter::Blocks() {
  Flush();
  return blocks_;
}

Bytes BlockBytes(const Block& block, uint32_t previous, uint32_t next) {
  if (block.payload.size() + block.stale.size() > kMaxPayload) Refuse("a block over 1024 bytes");
  Bytes out = {block.deleted ? uint8_t{0xFF} : uint8_t{0}, block.level};
  AppendBigEndian(out, previous, 4);
  AppendBigEndian(out, next, 4);
  AppendBigEndian(out, block.prefix + 1, 2);
  AppendBigEndian(out, block.payload.size(), 2);
  Append(out, block.payload);
  Append(out, block.stale);
  out.resize(kBlockSize, 0);
  return out;
}

FileWriter::FileWriter(std::ostream& out) : out_(out) {
  Bytes start = FileHeader();
  start.resize(kFirstBlockOffset + kBlockSize, 0);  // the root follows at Finish
  out_.write(reinterpret_cast<const char*>(start.data()),
             static_cast<std::streamsize>(start.size()));
}

void FileWriter::Write(const Block& block, uint32_t next) {
  const uint32_t number = count_ + 1;  // count_ blocks added, the last of them held
  const Bytes bytes = BlockBytes(block, number == 2 ? 0 : number - 1, next);
  out_.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void FileWriter::Add(const Block& block) {
  if (count_ > 0) Write(held_, count_ + 2);
  ++count_;
  AddRootEntry(rootEntries_, block, count_ + 1);
  held_ = block;
}

void FileWriter::Finish() {
  if (count_ > 0) Write(held_, 0);
  const Bytes root = BlockBytes(Root(rootEntries_), 0, count_ + 1);
  out_.seekp(static_cast<std::streamoff>(kFirstBlockOffset));
  out_.write(reinterpret_cast<const char*>(root.data()), static_cast<std::streamsize>(root.size()));
  out_.flush();
  if (!out_) throw std::runtime_error("fp5 file builder: cannot write the file");
}

Bytes MakeFile(const std::vector<Block>& blocks) {
  std::stringstream out;
  FileWriter file(out);
  for (const Block& block : blocks) file.Add(block);
  file.Finish();
  const std::string bytes = out.str();
  return Bytes(bytes.begin(), bytes.end());
}

// --- Catalogue and records ---

namespace {

constexpr size_t kProgramPieceSize = 210;  // the piece size of long values in real files

Bytes FieldFlags(const Field& field, bool typed) {
  const uint8_t stored = field.stored ? 1 : 3;
  const uint8_t type = typed ? field.type : 0;
  return {stored, type, 1, 0, 0, 1, 0, 0, 0, 0, 0, field.repetitions};
}

// `01 <id>` as field lists hold a field id (the length of the number, then the number).
Bytes FieldReference(uint32_t id) {
  Bytes out = Vli(id);
  out.insert(out.begin(), static_cast<uint8_t>(out.size()));
  return out;
}

Bytes FieldKey(const Value& value) {
  Bytes key;
  if (value.repetition > 1) {
    key = Vli(value.field);
    Append(key, Vli(value.repetition));
  } else if (value.keyForm == KeyForm::kTwoByte) {
    if (value.field < 0x80 || value.field >= 0x4080) Refuse("no 2-byte form for this field");
    key = Vli(value.field);
  } else if (value.field <= 0xFF) {
    key = {static_cast<uint8_t>(value.field)};
  } else if (value.keyForm == KeyForm::kOneByte) {
    Refuse("no 1-byte form for field " + std::to_string(value.field));
  } else {
    key = Vli(value.field);
  }
  return key;
}

void WritePieces(TokenWriter& out, const Value& value, const Bytes& text) {
  const size_t size = value.pieceSize != 0 ? value.pieceSize : kProgramPieceSize;
  out.Push(value.field);
  uint32_t piece = 1;
  for (size_t at = 0; at < text.size(); at += size, ++piece) {
    const ByteView bytes = ByteView(text).subspan(at, std::min(size, text.size() - at));
    if (value.pieceForm == PieceForm::kChecked) {
      out.Value(piece, bytes);
    } else {
      out.KeyedValue(Bytes{0x00, static_cast<uint8_t>(piece)}, bytes);
    }
  }
  if (value.pieceForm == PieceForm::kChecked) out.LengthCheck(static_cast<uint32_t>(text.size()));
  out.Pop();
}

}  // namespace

void WriteCatalogue(TokenWriter& out, const Catalogue& catalogue) {
  uint32_t highest = 0;
  for (const Field& field : catalogue.fields) highest = std::max(highest, field.id);
  out.Push(3).Value(0, FieldReference(highest));
  out.Push(2);
  for (uint8_t type = kText; type <= kGlobal; ++type) {
    out.Push(type);
    for (const Field& field : catalogue.fields) {
      if (field.type != type) continue;
      if (catalogue.typeMembersAsData) {
        out.Data(Vli(field.id));
      } else {
        out.Push(field.id).Pop();
      }
    }
    out.Pop();
  }
  out.Pop();
  if (!catalogue.order.empty()) {
    out.Push(3);
    for (size_t n = 0; n < catalogue.order.size(); ++n) {
      Bytes key = {0x00};
      Append(key, Vli(static_cast<uint32_t>(n + 1)));
      out.KeyedValue(key, FieldReference(catalogue.order[n]));
    }
    out.Pop();
  }
  out.Push(5);
  for (const Field& field : catalogue.fields) {
    out.Push(field.id).Value(1, MacRoman(field.name));
    if (catalogue.withFlags) out.Value(2, FieldFlags(field, catalogue.typedFlags));
    out.Pop();
  }
  out.Pop(2);
}

void WriteFileMarker(BlockWriter& out) {
  const std::string marker = std::string(1, '\0') + "HBAM3016AUG95";
  out.KeyZero(Bytes(marker.begin(), marker.end()));
  out.Flush();
}

void WriteRecord(TokenWriter& out, const Record& record) {
  out.Push(record.id);
  for (const Value& value : record.values) {
    const Bytes text = MacRoman(value.text);
    if (value.pieceSize != 0 || text.size() > 0xFF) {
      WritePieces(out, value, text);
    } else if (value.field < 0x40 && value.repetition == 1 && value.keyForm == KeyForm::kShortest) {
      out.Value(value.field, text, value.wideLength);
    } else {
      out.KeyedValue(FieldKey(value), text, value.wideLength);
    }
  }
  out.KeyedValue(Bytes{0xFC}, Bytes{0, 0, 0, 0, static_cast<uint8_t>(record.id % 5)});
  out.Pop();
}

void WriteRecords(TokenWriter& out, const std::vector<Record>& records) {
  out.Push(5);
  for (const Record& record : records) WriteRecord(out, record);
  out.Pop();
}

void WriteRecordIds(TokenWriter& out, const std::vector<Record>& records) {
  out.Push(0x0D);
  for (const Record& record : records) out.Data(Vli(record.id));
  out.Pop();
}

std::vector<Block> LayOut(const Catalogue& catalogue, const std::vector<Record>& records,
                          size_t capacity) {
  BlockWriter out(capacity);
  WriteFileMarker(out);
  WriteCatalogue(out, catalogue);
  WriteRecords(out, records);
  WriteRecordIds(out, records);
  return out.Blocks();
}

}  // namespace fp5file
