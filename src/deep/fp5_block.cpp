#include "deep/fp5_block.h"

#include <algorithm>
#include <array>

#include "deep/byte_reasons.h"

namespace deep {
namespace {

enum class TokenKind { kValue, kData, kPush, kPop, kUndefined };

struct Token {
  TokenKind kind = TokenKind::kUndefined;
  Fp5Key key;
  std::span<const uint8_t> bytes;  // the value, the data item or the pushed component
  uint8_t second = 0;              // an undefined FF token: the byte after FF
};

// Reads the token at the cursor. When it runs past the bytes the cursor fails and the token is
// not to be used.
Token ReadToken(ByteCursor& in) {
  Token t;
  const uint8_t c = in.U8();
  if (c == 0x00 || (c >= 0x40 && c <= 0x7F)) {
    t.kind = TokenKind::kValue;
    t.key.number = c == 0 ? 0 : c - 0x40u;
    t.bytes = in.Bytes(in.U8());
  } else if (c <= 0x3F) {
    t.kind = TokenKind::kValue;
    t.key.isBytes = true;
    t.key.bytes = in.Bytes(c);
    t.bytes = in.Bytes(in.U8());
  } else if (c <= 0xBF) {
    t.kind = TokenKind::kData;
    t.bytes = in.Bytes(c - 0x80u);
  } else if (c == 0xC0) {
    t.kind = TokenKind::kPop;
  } else if (c <= 0xFE) {
    t.kind = TokenKind::kPush;
    t.bytes = in.Bytes(c - 0xC0u);
  } else {
    const uint8_t d = in.U8();
    if (d >= 0x01 && d <= 0x04) {
      t.kind = TokenKind::kValue;
      t.key.isBytes = true;
      t.key.bytes = in.Bytes(d);
      t.bytes = in.Bytes(in.U16());
    } else if (d >= 0x40 && d <= 0x80) {
      t.kind = TokenKind::kValue;
      t.key.number = d - 0x40u;
      t.bytes = in.Bytes(in.U16());
    } else {
      t.second = d;
    }
  }
  return t;
}

// Named by the byte after FF.
constexpr std::array<ByteReason, 256> kUndefinedToken = ByteReasons("undefined token FF ");

// The header fields that say what a block is.
struct Header {
  uint8_t deleted = 0;
  uint8_t level = 0;
  size_t live = 0;
};

Header HeaderOf(std::span<const uint8_t> block) {
  ByteCursor in(block);
  Header header;
  header.deleted = in.U8();
  header.level = in.U8();
  in.Skip(10);  // prev, next, prefix length
  header.live = in.U16();
  return header;
}

// A block of all zeros has a header of zeros: no live payload, so it is empty too.
BlockKind KindOf(const Header& header) {
  if (header.deleted == 0xFF) return BlockKind::kDeleted;
  if (header.level != 0) return BlockKind::kIndex;
  return header.live == 0 ? BlockKind::kEmpty : BlockKind::kData;
}

}  // namespace

std::optional<uint64_t> ReadFp5Number(ByteCursor& in) {
  const size_t size = Fp5NumberSize(in.Peek());
  if (size == 0) return std::nullopt;
  const std::span<const uint8_t> number = in.Bytes(size);
  return in.ok() ? Fp5Number(number) : std::nullopt;
}

std::optional<uint64_t> Fp5Number(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return std::nullopt;
  const uint8_t b0 = bytes[0];
  if (b0 < 0x80) return bytes.size() == 1 ? std::optional<uint64_t>(b0) : std::nullopt;
  // The bits of the lead byte that count, and where each length's range starts, by extra bytes.
  struct Form {
    uint8_t mask;
    uint64_t base;
  };
  static constexpr Form kForms[] = {
      {0x7F, 0}, {0x3F, 0x80}, {0x1F, 0x4080}, {0x0F, 0x204080}, {0x07, 0x10204080}};
  const size_t size = Fp5NumberSize(b0);
  if (size == 0 || bytes.size() != size) return std::nullopt;
  uint64_t value = b0 & kForms[size - 1].mask;
  for (size_t i = 1; i < size; ++i) value = (value << 8) | bytes[i];
  return kForms[size - 1].base + value;
}

BlockOutcome DecodeFp5Block(std::span<const uint8_t> block, Fp5BlockVisitor& visitor) {
  BlockOutcome out;
  block = block.first(std::min(block.size(), kFp5BlockSize));
  const auto stop = [&out](size_t at, const char* why) {
    out.damaged = true;
    out.stoppedAt = static_cast<uint32_t>(at);
    out.why = why;
  };
  constexpr const char* kCut = "block cut short";
  const Header header = HeaderOf(block);
  const size_t live = header.live;
  out.kind = KindOf(header);
  if (block.size() < kFp5HeaderSize || out.kind != BlockKind::kData) {
    if (block.size() < kFp5BlockSize) stop(block.size(), kCut);
    return out;
  }
  if (live > kFp5MaxLive) {
    // The header is wrong, so where the live payload ends is unknown: nothing is read.
    stop(12, "live length past the end of the block");
    return out;
  }

  ByteCursor in(block.first(std::min(block.size(), kFp5HeaderSize + live)), kFp5HeaderSize);
  const bool cut = block.size() < kFp5HeaderSize + live;
  std::array<Fp5Part, kFp5MaxDepth> path;
  size_t depth = 0;
  std::optional<Token> held;
  const auto handOn = [&] {
    if (!held) return;
    const Fp5Path open(path.data(), depth);
    switch (held->kind) {
      case TokenKind::kValue:
        visitor.OnValue(open, held->key, held->bytes);
        break;
      case TokenKind::kData:
        visitor.OnData(open, held->bytes);
        break;
      default:
        visitor.OnPush(open);
        break;
    }
    held.reset();
  };
  out.stoppedAt = static_cast<uint32_t>(kFp5HeaderSize + live);
  while (in.remaining() > 0) {
    const size_t at = in.offset();
    const Token t = ReadToken(in);
    if (!in.ok()) {
      stop(at, cut ? kCut : "token runs past the live length");
      break;
    }
    if (t.kind == TokenKind::kUndefined) {
      stop(at, kUndefinedToken[t.second].data());
      break;
    }
    if (t.kind == TokenKind::kPush && depth == kFp5MaxDepth) {
      static_assert(kFp5MaxDepth == 64, "the reason below names the depth");
      stop(at, "path nested deeper than 64 levels");
      break;
    }
    ++out.tokens;
    handOn();
    switch (t.kind) {
      case TokenKind::kPush:
        path[depth++] = t.bytes;
        held = t;
        break;
      case TokenKind::kPop:
        if (depth > 0) --depth;  // the last block of the file closes more than it opens
        break;
      default:
        held = t;
        break;
    }
  }
  if (!out.damaged) {
    handOn();
    if (cut) stop(block.size(), kCut);
  }
  return out;
}

}  // namespace deep
