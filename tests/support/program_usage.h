// The command line of the small programs beside the tests (the bundled sample's writer, the seed
// writers, the benchmarks): each answers --help without doing anything else.
#pragma once

#include <optional>

// With --help (or -h) prints `usage` on standard output and returns 0; with another count of
// arguments than `operands` prints it on standard error and returns 2; otherwise returns nothing,
// and the program goes on.
std::optional<int> CheckUsage(int argc, char** argv, int operands, const char* usage);
