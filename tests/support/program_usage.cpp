#include "support/program_usage.h"

#include <cstdio>
#include <cstring>

std::optional<int> CheckUsage(int argc, char** argv, int operands, const char* usage) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(usage, stdout);
      return 0;
    }
  }
  if (argc - 1 == operands) return std::nullopt;
  std::fputs(usage, stderr);
  return 2;
}
