// qrx-recover --list: a deep recovery that writes nothing (no folder, no file), and what it would
// write, for people or (--json) as one JSON object whose schema the README describes.
#pragma once

#include "command_line.h"
#include "progress_view.h"

// Lists the one source of `line`; returns the program's exit status.
int ListSource(const CommandLine& line, ProgressView& view);
