// One recovery: prepares the log and the host link, announces the first pass, then opens the
// source, determines its format and lets the matching parser write the recovered tables.
#pragma once

#include <cstdint>

#include "qrx/qrx.h"

// The whole of one FileRecover call. `sourceArgument` carries the source path followed by one extra
// unit, which is dropped. Returns 0, -2, -3, -4, -5, -20 or -1000. May throw (std::bad_alloc); the
// export catches.
int32_t FileRecoverImpl(const char16_t* sourceArgument, const char16_t* targetDir);

// Opens the source, determines its format, runs the parser. Returns the parser's result, or -3 for
// an unknown format, or the source's open failure (-3 empty, -4 cannot open).
int32_t RunRecovery(const char16_t* sourcePath, const char16_t* targetDir);

// The whole of one FileRecoverEx call: the source path as it is, and the options (null: every
// default). Deep mode recovers fp7 files page by page into typed tables; fp5 files, for which it
// has no reader yet, are recovered as in classic mode (the log says so).
int32_t FileRecoverExImpl(const char16_t* sourcePath, const char16_t* targetDir,
                          const qrx_options* options);
