#include "engine/fp5_stop_rules.h"

const Fp5StopRules& Fp5StopRules::Strict() {
  static const Fp5StopRules rules;
  return rules;
}

uint16_t Fp5StopRules::PageEnd(const CFMCEngine& engine) const {
  return static_cast<uint16_t>(engine.m_nPageSize - engine.m_nHeaderSize);
}

uint16_t Fp5StopRules::ScanEnd(const CFMCEngine& engine) const {
  return engine.m_nDataLength;
}

int32_t Fp5StopRules::KeySearchEnd(const CFMCEngine& engine) const {
  return int32_t{engine.m_nDataLength} - int32_t{engine.m_nHeaderSize};
}

bool Fp5StopRules::OpensDataBlock(const Fp5BlockCursor& atKey, bool columnsKnown) const {
  return columnsKnown && atKey.Peek(1) >= 0xC1;
}

bool Fp5StopRules::EndsTypeEntries(const Fp5BlockCursor& at, uint16_t pageEnd) const {
  return at.Position() >= pageEnd || at.Peek() != 0xC1;
}

bool Fp5StopRules::EndsColumnEntries(const Fp5BlockCursor& at, uint16_t pageEnd) const {
  return at.Position() >= pageEnd || (at.Peek() != 0xC1 && at.Peek() != 0xC2);
}

bool Fp5StopRules::EndsFields(const Fp5BlockCursor& at) const {
  const uint8_t selector = at.Peek();
  if (selector <= 0x40) return true;
  if (selector == 0xC0 && at.Peek(-3) != 0xC3) return true;
  return at.Peek(2) == 0xC0 || at.Peek(2) == 0;
}

bool Fp5StopRules::EndsPieces(const Fp5BlockCursor& at) const {
  const uint8_t first = at.Peek();
  return first <= 0x40 || first == 0xC0 || at.Peek(2) == 0xC0 || at.Peek(2) == 0;
}
