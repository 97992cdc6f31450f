// How a deep recovery writes its tables.
#pragma once

#include "deep/table_writer.h"

namespace deep {

struct Options {
  OutputEncoding encoding = OutputEncoding::kWindows1252;
};

}  // namespace deep
