// Deep recovery of an fp5 file: every 1024-byte block decoded on its own, in two passes.
//   1. Every block once, in file order: the fields (names, flags, types, order) and the blocks
//      that hold records, with the first record id on each (Fp5Catalogue).
//   2. The blocks of records, in the order of their first record id, decoded again; the records
//      joined across blocks and written as the rows of the file's one table (Fp5Records,
//      TableWriter), named after the source file.
// Index blocks, deleted blocks and the header are not read for data; no prev/next link, root or
// block count is trusted. Damage costs only what lies on the damaged block.
#pragma once

#include <cstdint>
#include <string>

#include "deep/options.h"
#include "platform/file.h"

namespace deep {

// Recovers the fp5 file behind `source` (`size` bytes, named `sourceName`: a path or a file name)
// into `targetDir`. Logs, reports progress and fills the recovery report as classic recovery
// does. Returns 0; -3 when no record holds anything to write; -20 when the table could not be
// written; -1000 when the host asked to stop (the table is dropped).
int32_t RecoverFp5(qrx::platform::File& source, uint64_t size, const std::u16string& sourceName,
                   const std::u16string& targetDir, const Options& options);

}  // namespace deep
