// Where the fp5 block readers stop. Damaged pages are the normal case, so every loop of the page
// scan ends on one of these rules; they are kept together so that a more tolerant recovery can
// derive its own rules and hand them to CFM5 instead of changing the scan itself.
#pragma once

#include <cstdint>

#include "engine/fp5_block_cursor.h"
#include "engine/page_engine.h"

class Fp5StopRules {
 public:
  virtual ~Fp5StopRules() = default;

  // The rules the scan uses unless it is given others.
  static const Fp5StopRules& Strict();

  // The end of the page's data area: block skips, the column type and column readers stop there,
  // and names, values and pieces are cut there.
  virtual uint16_t PageEnd(const CFMCEngine& engine) const;
  // The page scan and the record reader run while the position is below this.
  virtual uint16_t ScanEnd(const CFMCEngine& engine) const;
  // The key search runs while the position is below this (the data length less the header size;
  // negative on a page with a very short data area, which then has no searchable block).
  virtual int32_t KeySearchEnd(const CFMCEngine& engine) const;

  // A block 0xC1 5 is read as record data only once a column is known, and only when a record
  // opener follows the key.
  virtual bool OpensDataBlock(const Fp5BlockCursor& atKey, bool columnsKnown) const;
  // The column type entries end at the page end or at the first byte that does not open one.
  virtual bool EndsTypeEntries(const Fp5BlockCursor& at, uint16_t pageEnd) const;
  // The column definitions end at the page end or at a byte that introduces no column id.
  virtual bool EndsColumnEntries(const Fp5BlockCursor& at, uint16_t pageEnd) const;
  // The fields of a record end at a byte of 0x40 or below, at 0xC0 (unless it is the byte behind a
  // three-byte record id), or where the byte two places ahead is 0xC0 or 0.
  virtual bool EndsFields(const Fp5BlockCursor& at) const;
  // The pieces of a long text end at a byte of 0x40 or below, at 0xC0, or where the byte two
  // places ahead is 0xC0 or 0.
  virtual bool EndsPieces(const Fp5BlockCursor& at) const;
};
