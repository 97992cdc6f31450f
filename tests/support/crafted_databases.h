// Files made to cost a recovery out of all proportion to their size, for the tests, the fuzz seeds
// and the benchmark of crafted inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One record whose 250 columns hold 250-byte values, so every column is that wide in the table,
// then `narrowRecords` records of one short value each: every one of them takes the full width.
std::vector<uint8_t> Fp7WideRecordThenNarrowOnes(size_t narrowRecords);
// The same for fp5 with 90 columns, each made wide by a record of its own (a record fits one
// block); at most 65,445 narrow records.
std::vector<uint8_t> Fp5WideRecordsThenNarrowOnes(size_t narrowRecords);
// A table with `objects` stored files of one byte each, numbered as piece 100: each claims to
// begin 99,000 bytes into its object.
std::vector<uint8_t> Fp7StoredPiecesFarOut(size_t objects);
