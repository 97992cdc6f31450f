#include "support/fp5_builder.h"

#include <fstream>
#include <stdexcept>
#include <utility>

namespace fp5build {
namespace {

constexpr uint8_t kOpen = 0xC1;
constexpr uint8_t kClose = 0xC0;
constexpr uint8_t kSelectorBase = 0x40;
constexpr size_t kDataBlockOverhead = 3;  // 0xC1 5 ... 0xC0

void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}

void AppendText(Bytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

void AppendLongText(Bytes& out, const Fp5Field& field) {
  out.push_back(kOpen);
  out.push_back(field.column);
  for (size_t i = 0; i < field.pieces.size(); ++i) {
    const std::string& piece = field.pieces[i];
    const auto selector = static_cast<uint8_t>(kSelectorBase + field.firstPiece + i);
    if (piece.size() > 0xFFFF) throw std::invalid_argument("long-text piece over 65535 bytes");
    if (piece.size() > 0xFF) {
      out.insert(out.end(), {0xFF, selector, static_cast<uint8_t>(piece.size() >> 8),
                             static_cast<uint8_t>(piece.size())});
    } else {
      out.insert(out.end(), {selector, static_cast<uint8_t>(piece.size())});
    }
    AppendText(out, piece);
  }
  out.push_back(kClose);
}

}  // namespace

Bytes Fp5Id::OneByte(uint8_t value) {
  return {kOpen, value};
}

Bytes Fp5Id::TwoBytes(uint16_t value) {
  if (value < 0x80 || value > 0x80 + 0x7FFF) throw std::invalid_argument("no two-byte id form");
  const unsigned rest = value - 0x80u;
  return {0xC2, static_cast<uint8_t>(0x80 + (rest >> 8)), static_cast<uint8_t>(rest)};
}

Bytes Fp5Id::ThreeBytes(uint8_t b0, uint8_t b1, uint8_t b2) {
  return {0xC3, b0, b1, b2};
}

Bytes Fp5Id::Auto(uint16_t value) {
  return value < 0x80 ? OneByte(static_cast<uint8_t>(value)) : TwoBytes(value);
}

Fp5Field Fp5Field::Value(uint8_t column, std::string text) {
  if (column == 0 || column > 0x7F) throw std::invalid_argument("value column outside 1..127");
  if (text.size() > 0xFF) throw std::invalid_argument("value over 255 bytes");
  Fp5Field field;
  field.column = column;
  field.text = std::move(text);
  return field;
}

Fp5Field Fp5Field::LongText(uint8_t column, std::vector<std::string> pieces, uint8_t firstPiece) {
  Fp5Field field;
  field.column = column;
  field.pieces = std::move(pieces);
  field.firstPiece = firstPiece;
  field.isLongText = true;
  return field;
}

Bytes ColumnTypeBlock(const std::vector<Fp5TypeEntry>& entries) {
  Bytes out = {kOpen, 2};
  for (const Fp5TypeEntry& entry : entries) {
    out.insert(out.end(), {kOpen, entry.type});
    for (uint8_t column : entry.columns) out.insert(out.end(), {0x81, column});
    out.push_back(kClose);
  }
  out.push_back(kClose);
  return out;
}

Bytes ColumnDefinition(const Fp5Column& column) {
  if (column.name.size() > 0xFF) throw std::invalid_argument("column name over 255 bytes");
  Bytes out = Fp5Id::Auto(column.id);
  out.push_back('A');
  out.push_back(static_cast<uint8_t>(column.name.size()));
  AppendText(out, column.name);
  out.push_back(kClose);
  return out;
}

Bytes DefinitionBlock(const std::vector<Fp5TypeEntry>& types,
                      const std::vector<Fp5Column>& columns) {
  Bytes out = {kOpen, 3};
  if (!types.empty()) Append(out, ColumnTypeBlock(types));
  out.insert(out.end(), {kOpen, 5});
  for (const Fp5Column& column : columns) Append(out, ColumnDefinition(column));
  out.insert(out.end(), {kClose, kClose});
  return out;
}

Bytes RecordBytes(const Fp5Record& record) {
  Bytes out = record.id;
  for (const Fp5Field& field : record.fields) {
    if (field.isLongText) {
      AppendLongText(out, field);
    } else {
      out.push_back(static_cast<uint8_t>(kSelectorBase + field.column));
      out.push_back(static_cast<uint8_t>(field.text.size()));
      AppendText(out, field.text);
    }
  }
  out.push_back(kClose);
  return out;
}

Bytes DataBlock(const std::vector<Fp5Record>& records) {
  Bytes out = {kOpen, 5};
  for (const Fp5Record& record : records) Append(out, RecordBytes(record));
  out.push_back(kClose);
  return out;
}

Fp5FileBuilder& Fp5FileBuilder::AddPage(const Bytes& area) {
  if (area.size() > kDataAreaSize) throw std::length_error("data area over 1010 bytes");
  const size_t start = pages_.size();
  pages_.resize(start + kPageSize, 0);
  std::copy(area.begin(), area.end(), pages_.begin() + static_cast<ptrdiff_t>(start + kHeaderSize));
  return *this;
}

Fp5FileBuilder& Fp5FileBuilder::AddDefinitions(const std::vector<Fp5TypeEntry>& types,
                                               const std::vector<Fp5Column>& columns) {
  return AddPage(DefinitionBlock(types, columns));
}

Fp5FileBuilder& Fp5FileBuilder::AddRecords(const std::vector<Fp5Record>& records) {
  Bytes block = {kOpen, 5};
  for (const Fp5Record& record : records) {
    const Bytes bytes = RecordBytes(record);
    if (bytes.size() + kDataBlockOverhead > kDataAreaSize) {
      throw std::length_error("record does not fit a page");
    }
    if (block.size() + bytes.size() + 1 > kDataAreaSize) {
      block.push_back(kClose);
      AddPage(block);
      block = {kOpen, 5};
    }
    Append(block, bytes);
  }
  if (block.size() > 2) {
    block.push_back(kClose);
    AddPage(block);
  }
  return *this;
}

Bytes Fp5FileBuilder::Build() const {
  Bytes file(kStartSize + pages_.size(), 0);
  std::copy(pages_.begin(), pages_.end(), file.begin() + kStartSize);
  return file;
}

void Fp5FileBuilder::WriteTo(const std::filesystem::path& path) const {
  const Bytes file = Build();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace fp5build
