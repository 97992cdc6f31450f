// Small fp5 and fp7 databases made with the builders, whose pages are marked as holding facts
// (table list, columns, records, container objects) or as idle (content of the file that the
// recovery does not take, as layouts and scripts are in real files). Damage tests hit idle pages to
// learn whether the records survive damage around them; fuzz seeds start from the same files.
#pragma once

#include <cstdint>
#include <vector>

#include "support/damage.h"

struct PagedDatabase {
  std::vector<uint8_t> bytes;
  damage::PagedLayout layout;
  std::vector<bool> holdsFacts;  // per page behind the file's start
  size_t recordCount = 0;        // rows the intact file yields, over all tables

  size_t PageCount() const { return holdsFacts.size(); }
};

// One table of 30 records (a text, a date, a long text in two pieces) on pages between idle ones,
// the definitions on a page of their own.
PagedDatabase Fp5WithIdlePages();
// Two tables of 24 and 10 records (one with a long text in pieces) with container objects (both
// tables have one named "photo.jpg"), the table list, each table and the end of the file
// separated by idle pages.
PagedDatabase Fp7WithIdlePages();
