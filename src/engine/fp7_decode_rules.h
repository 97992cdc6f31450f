// Everything that decides how strictly an fp7 page is read, in one object handed to the engine:
// the chunk forms known (the opcode table), what the page loop does at bytes it cannot decode
// (the stop rule), and how stored text bytes are decoded (the text map). A more tolerant reading
// supplies other rules; the engine stays the same.
#pragma once

#include <cstddef>

#include "engine/fp7_opcodes.h"
#include "engine/fp7_text.h"

// Why the page loop could not decode the bytes at its position.
enum class Fp7Undecodable : unsigned char {
  kUnknownOpcode,   // a byte without a chunk form
  kPastPageBuffer,  // a chunk that needs bytes beyond the page buffer (it is dropped)
};

struct Fp7StopVerdict {
  bool endsPage;        // stop decoding the page; otherwise go on one byte further
  bool countsAsBroken;  // add the page to the engine's broken-page count
};

// `chunksListed`: the length of the engine's chunk list so far.
using Fp7StopRule = Fp7StopVerdict (*)(Fp7Undecodable what, size_t chunksListed);

struct Fp7DecodeRules {
  const Fp7OpcodeTable* opcodes;
  Fp7StopRule stopRule;
  const Fp7TextMap* textMap;

  // The database program's own chunk forms; any byte that is not one of them ends the page, and
  // a page that ends at an unknown opcode while chunks are listed counts as broken.
  static const Fp7DecodeRules& Strict();
};
