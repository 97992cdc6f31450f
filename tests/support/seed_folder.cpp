#include "support/seed_folder.h"

#include <cstdio>

std::optional<std::filesystem::path> SeedFolder(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argc > 0 ? argv[0] : "seeds");
    return std::nullopt;
  }
  std::filesystem::create_directories(argv[1]);
  return std::filesystem::path(argv[1]);
}
