#include "deep/fp7_page.h"

#include <algorithm>
#include <array>
#include <optional>

#include "deep/byte_cursor.h"
#include "deep/byte_reasons.h"

namespace deep {
namespace {

enum class ChunkKind { kValue, kSegment, kData, kPush, kPop, kNoOp, kEnd, kUnknown };

struct Chunk {
  ChunkKind kind = ChunkKind::kUnknown;
  ChunkKey key;
  PathPart part;
  uint32_t piece = 0;
  std::span<const uint8_t> value;
};

// Path ids, piece numbers and keys of 0x28, 0x0F and 0x09-0x0E with the high bit set.
uint32_t Id2(uint8_t b0, uint8_t b1) {
  return 0x80u + ((b0 & 0x7Fu) << 8) + b1;
}

// Two key bytes: a plain 16-bit number below 0x8000, else a 2-byte id.
uint32_t Key2(ByteCursor& in) {
  const uint8_t b0 = in.U8(), b1 = in.U8();
  return b0 < 0x80 ? (uint32_t{b0} << 8) | b1 : Id2(b0, b1);
}

void Key3(ByteCursor& in, ChunkKey& key) {
  key.tag = in.U8();
  key.number = 0x80u + in.U16();
}

// Value sizes of the fixed-size forms, by opcode.
constexpr uint8_t kByteKeyValueSize[6] = {0, 1, 2, 4, 6, 8};  // 0x01-0x05
constexpr uint8_t kTwoByteKeyValueSize[5] = {1, 2, 4, 6, 8};  // 0x09-0x0D
constexpr uint8_t kDataSize[6] = {3, 4, 5, 7, 9, 11};         // 0x10-0x15
constexpr uint8_t kBytesKeyValueSize[5] = {1, 2, 4, 6, 8};    // 0x19-0x1D

// A value chunk's key, reset.
ChunkKey& ValueKey(Chunk& c) {
  c.kind = ChunkKind::kValue;
  c.key = ChunkKey{};
  return c.key;
}

// A push chunk's path part, reset.
PathPart& PushedPart(Chunk& c) {
  c.kind = ChunkKind::kPush;
  c.part = PathPart{};
  return c.part;
}

// Reads the chunk at the cursor into `c`, which is reused from chunk to chunk: each kind sets
// what is read of it (the key and value of a value, the piece and bytes of a segment, the part of
// a push), since zeroing the whole of a chunk for every one costs a page decode more than a tenth
// of its time. When the chunk runs past the bytes the cursor fails and `c` is not to be used.
void ReadChunk(ByteCursor& in, Chunk& c) {
  const uint8_t op = in.U8();
  switch (op) {
    case 0x00:
      c.kind = in.U8() == 0 ? ChunkKind::kEnd : ChunkKind::kData;
      break;
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
      ValueKey(c).number = in.U8();
      c.value = in.Bytes(kByteKeyValueSize[op]);
      break;
    case 0x06:
      ValueKey(c).number = in.U8();
      c.value = in.Bytes(in.U8());
      break;
    case 0x07:
      c.kind = ChunkKind::kSegment;
      c.piece = in.U8();
      c.value = in.Bytes(in.U16());
      break;
    case 0x08:
      c.kind = ChunkKind::kData;
      in.Skip(2);
      break;
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
      ValueKey(c).number = Key2(in);
      c.value = in.Bytes(kTwoByteKeyValueSize[op - 0x09]);
      break;
    case 0x0E:
      if (in.Peek() == 0xFF) {
        c.kind = ChunkKind::kData;
        in.Skip(6);
      } else {
        ValueKey(c).number = Key2(in);
        c.value = in.Bytes(in.U8());
      }
      break;
    case 0x0F: {
      c.kind = ChunkKind::kSegment;
      const uint8_t b0 = in.U8(), b1 = in.U8();
      c.piece = Id2(b0, b1);
      c.value = in.Bytes(in.U16());
      break;
    }
    case 0x10:
    case 0x11:
    case 0x12:
    case 0x13:
    case 0x14:
    case 0x15:
      c.kind = ChunkKind::kData;
      in.Skip(kDataSize[op - 0x10]);
      break;
    case 0x16:
      Key3(in, ValueKey(c));
      c.value = in.Bytes(in.U8());
      break;
    case 0x17:
      Key3(in, ValueKey(c));
      c.value = in.Bytes(in.U16());
      break;
    case 0x18:
      Key3(in, ValueKey(c));
      c.value = in.Bytes(2);
      break;
    case 0x19:
    case 0x1A:
    case 0x1B:
    case 0x1C:
    case 0x1D:
    case 0x1E:
    case 0x1F:
      ValueKey(c).isBytes = true;
      c.key.bytes = in.Bytes(in.U8());
      c.value = op == 0x1E   ? in.Bytes(in.U8())
                : op == 0x1F ? in.Bytes(in.U16())
                             : in.Bytes(kBytesKeyValueSize[op - 0x19]);
      break;
    case 0x20:
      PushedPart(c).id = in.U8();
      if (c.part.id == 0xFE) c.part.id = in.U64();
      break;
    case 0x23:
      c.kind = ChunkKind::kData;
      in.Skip(in.U8());
      break;
    case 0x28: {
      const uint8_t b0 = in.U8(), b1 = in.U8();
      PushedPart(c).id = Id2(b0, b1);
      break;
    }
    case 0x30:
      PushedPart(c).tag = in.U8();
      c.part.id = 0x80u + in.U16();
      break;
    case 0x38:
      PushedPart(c).isName = true;
      c.part.name = in.Bytes(in.U8());
      break;
    case 0x3D:
    case 0x40:
      c.kind = ChunkKind::kPop;
      break;
    case 0x80:
      c.kind = ChunkKind::kNoOp;
      break;
    default:
      c.kind = ChunkKind::kUnknown;
      break;
  }
}

// Index chunks carry the two high bits: the usual chunk of the low six bits plus a flag.
bool IsIndexOpcode(uint8_t op) {
  return op >= 0xC0;
}

// Index pages are told apart by their first chunks: a data page opens with a push (maybe after
// no-ops) and holds no index opcode; an index page opens with its first entry (`1B 00 ...`).
constexpr int kIndexProbeChunks = 16;

PageKind Classify(std::span<const uint8_t> data) {
  ByteCursor in(data);
  bool opened = false;
  Chunk c;
  for (int i = 0; i < kIndexProbeChunks && in.remaining() > 0; ++i) {
    if (IsIndexOpcode(in.Peek())) return PageKind::kIndex;
    ReadChunk(in, c);
    if (!in.ok() || c.kind == ChunkKind::kUnknown) break;
    if (c.kind == ChunkKind::kNoOp) continue;
    if (!opened) {
      if (c.kind == ChunkKind::kEnd) return PageKind::kEmpty;
      if (c.kind != ChunkKind::kPush) return PageKind::kIndex;
      opened = true;
    }
    if (c.kind == ChunkKind::kEnd) break;
  }
  return PageKind::kData;
}

constexpr std::array<ByteReason, 256> kUnknownOpcode = ByteReasons("unknown opcode 0x");

uint16_t UnusedCount(std::span<const uint8_t> page) {
  return static_cast<uint16_t>((page[14] << 8) | page[15]);
}

}  // namespace

PageOutcome DecodeFp7Page(std::span<const uint8_t> page, Fp7PageVisitor& visitor) {
  PageOutcome out;
  page = page.first(std::min(page.size(), kFp7PageSize));
  const bool cut = page.size() < kFp7PageSize;
  const auto stop = [&out](size_t at, const char* why) {
    out.damaged = true;
    out.stoppedAt = static_cast<uint32_t>(at);
    out.why = why;
  };
  constexpr const char* kCut = "page cut short";

  if (std::all_of(page.begin(), page.end(), [](uint8_t b) { return b == 0; })) {
    out.kind = PageKind::kEmpty;
    if (cut) stop(page.size(), kCut);
    return out;
  }
  if (page.size() < kFp7HeaderSize) {
    stop(page.size(), kCut);
    return out;
  }
  if (page[1] != 0) {
    out.kind = PageKind::kIndex;
    if (cut) stop(page.size(), kCut);
    return out;
  }

  // A count of 0 is a full page; an impossible count leaves the whole area to the end marker.
  const uint16_t unused = UnusedCount(page);
  const size_t live = unused >= kFp7DataAreaSize ? kFp7DataAreaSize : kFp7DataAreaSize - unused;
  const std::span<const uint8_t> data =
      page.subspan(kFp7HeaderSize, std::min(live, page.size() - kFp7HeaderSize));

  out.kind = Classify(data);
  if (out.kind != PageKind::kData) {
    out.stoppedAt = static_cast<uint32_t>(kFp7HeaderSize);
    if (cut) stop(page.size(), kCut);
    return out;
  }

  std::array<PathPart, kMaxPathDepth> path;
  size_t depth = 0;
  // Each value is handed on only once the chunk behind it reads well: a value right before damage
  // may have taken the damaged bytes for its own (a length that runs on into them), so it is
  // dropped with the damage. The path it was read under stays until the next chunk is taken.
  std::optional<Chunk> held;
  const auto handOn = [&] {
    if (!held) return;
    const std::span<const PathPart> open(path.data(), depth);
    if (held->kind == ChunkKind::kValue) {
      visitor.OnValue(open, held->key, held->value);
    } else {
      visitor.OnSegment(open, held->piece, held->value);
    }
    held.reset();
  };
  ByteCursor in(data);
  out.stoppedAt = static_cast<uint32_t>(kFp7HeaderSize + data.size());
  Chunk c;
  while (in.remaining() > 0) {
    const size_t at = kFp7HeaderSize + in.offset();
    const uint8_t op = in.Peek();
    ReadChunk(in, c);
    if (!in.ok()) {
      stop(at, data.size() < live ? kCut : "chunk runs past the live data");
      break;
    }
    if (c.kind == ChunkKind::kEnd) {
      out.stoppedAt = static_cast<uint32_t>(at);
      handOn();
      break;
    }
    if (c.kind == ChunkKind::kUnknown) {
      stop(at, kUnknownOpcode[op].data());
      break;
    }
    if (c.kind == ChunkKind::kPush && depth == kMaxPathDepth) {
      static_assert(kMaxPathDepth == 64, "the reason below names the depth");
      stop(at, "path nested deeper than 64 levels");
      break;
    }
    ++out.chunks;
    handOn();
    switch (c.kind) {
      case ChunkKind::kValue:
      case ChunkKind::kSegment:
        held = c;
        break;
      case ChunkKind::kPush:
        path[depth++] = c.part;
        break;
      case ChunkKind::kPop:
        if (depth > 0) --depth;  // the last page of the chain closes one level more than it opens
        break;
      default:  // data without a key and no-ops carry no path meaning
        break;
    }
  }
  if (!out.damaged) handOn();
  if (cut && !out.damaged) stop(page.size(), kCut);
  return out;
}

}  // namespace deep
