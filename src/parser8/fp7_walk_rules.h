// Where the fp7 parser's page walks end. Every scan of the parser (table list, columns, records,
// container objects) runs through one page loop, and that loop asks these rules whether a page the
// engine refuses ends the walk; a more tolerant recovery can hand the parser rules of its own.
#pragma once

#include "engine/page_engine.h"

class Fp7WalkRules {
 public:
  virtual ~Fp7WalkRules() = default;

  // The rules the parser uses unless it is given others.
  static const Fp7WalkRules& Strict();

  // Whether the page that ReadPage just refused (past the file's end, or with an impossible count
  // of unused bytes) ends the walk, rather than being stepped over. Strict: always.
  virtual bool EndsAtRefusedPage(const CFMCEngine& engine) const;
};
