// fp7 databases of a given size and table count, for the benchmarks: tables of three columns (a
// name, an amount, a note long enough to reach the size asked for).
#pragma once

#include <cstddef>
#include <vector>

#include "support/fp7_builder.h"

struct Fp7Shape {
  size_t megabytes;
  size_t tables;
  size_t records;  // in all tables together
};

std::vector<fp7::Table> SizedFp7Tables(const Fp7Shape& shape);
