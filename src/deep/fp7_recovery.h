// Deep recovery of an fp7 file: every page decoded on its own, in two passes over the file.
//   1. Every page once, in file order: the catalogue (tables, columns) and, per table, the pages
//      that hold its records (Fp7Catalogue).
//   2. Table by table: the pages of its records, in the order of their record ids, decoded again;
//      the records joined across pages and written as rows (Fp7TableRows, TableWriter).
// So each page is decoded at most twice, however many tables the file has, and memory holds the
// index and the records of the pages being read, not the file.
//
// Damage costs only what lies on the damaged page: a page that ends early keeps the chunks before
// the damage, and the pages after it are read as if nothing had happened.
#pragma once

#include <cstdint>
#include <string>

#include "deep/options.h"
#include "platform/file.h"

namespace deep {

// Recovers the fp7 file behind `source` (`size` bytes) into `targetDir`. Logs, reports progress
// and fills the recovery report as classic recovery does. Returns 0; -3 when no table holds
// anything to write; -20 when a table could not be written (the others are); -1000 when the host
// asked to stop (the table being written is dropped).
int32_t RecoverFp7(qrx::platform::File& source, uint64_t size, const std::u16string& sourceName,
                   const std::u16string& targetDir, const Options& options);

}  // namespace deep
