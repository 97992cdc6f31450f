// Decodes the one chunk that starts at a reader's origin, as its opcode row describes it. The
// decoder only looks: value and key bytes are handed back as pointers into the page buffer, and
// the engine copies what it keeps.
#pragma once

#include <cstdint>

#include "engine/fp7_byte_reader.h"
#include "engine/fp7_chunk.h"
#include "engine/fp7_opcodes.h"

enum class Fp7StepResult : uint8_t {
  kChunk,       // a chunk to append
  kNoChunk,     // bytes skipped, or a chunk dropped for an impossible key or length
  kPastBuffer,  // the chunk needs bytes beyond the page buffer
};

struct Fp7DecodedChunk {
  Fp7ChunkKind kind = Fp7ChunkKind::kUnset;
  uint32_t id = 0;
  uint32_t length = 0;
  const uint8_t* value = nullptr;  // `length` bytes, or null when kept without them
  const uint8_t* keyBytes = nullptr;
  uint32_t keyByteCount = 0;
};

struct Fp7Step {
  Fp7StepResult result = Fp7StepResult::kNoChunk;
  uint32_t advance = 1;  // bytes from this opcode to the next one
  Fp7DecodedChunk chunk;
};

// `row` must have a chunk form (an action other than kEndPage).
Fp7Step DecodeChunk(const Fp7OpcodeRow& row, Fp7ByteReader& reader);
