// fp7 databases of a given size and table count, and fp5 databases of a given size, for the
// benchmarks: tables of three columns (a name, an amount, a note long enough to reach the size
// asked for).
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "support/fp7_builder.h"

struct Fp7Shape {
  size_t megabytes;
  size_t tables;
  size_t records;  // in all tables together
};

std::vector<fp7::Table> SizedFp7Tables(const Fp7Shape& shape);

// An fp7 file of `shape` (texts as the database program writes them) opening with the file header
// real files have: the magic shared with fp5, then "HBAM7".
void WriteSizedFp7(const std::filesystem::path& path, const Fp7Shape& shape);

// An fp5 file of `megabytes` MiB written block by block as the database program lays it out: the
// field definitions, records numbered from 1 (past 16,511 their ids take three bytes, past
// 2,113,663 four) of about 250 bytes each, the record-id list.
void WriteSizedFp5(const std::filesystem::path& path, size_t megabytes);
