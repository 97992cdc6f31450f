// How a deep recovery writes its tables.
#pragma once

#include <cstdint>

#include "deep/code_page.h"

namespace deep {

// The outputs a recovery writes, as bits; none writes nothing (a listing).
enum OutputFormat : uint32_t { kDbase = 1, kSqlite = 2, kCsv = 4 };

struct Options {
  OutputEncoding encoding = OutputEncoding::kWindows1252;  // of the dBase tables
  uint32_t formats = kDbase;
  bool csvByteOrderMark = false;
};

}  // namespace deep
