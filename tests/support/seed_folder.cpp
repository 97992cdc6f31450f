#include "support/seed_folder.h"

#include <string>

#include "support/program_usage.h"

std::optional<std::filesystem::path> SeedFolder(int argc, char** argv, int& exitStatus) {
  const std::string program =
      std::filesystem::path(argc > 0 ? argv[0] : "seeds").filename().string();
  const std::string usage = "usage: " + program +
                            " OUTPUT_FOLDER\n\nWrites the fuzzer's seed inputs, made with the "
                            "test builders, into OUTPUT_FOLDER (created if missing).\n";
  if (const std::optional<int> status = CheckUsage(argc, argv, 1, usage.c_str())) {
    exitStatus = *status;
    return std::nullopt;
  }
  std::filesystem::create_directories(argv[1]);
  return std::filesystem::path(argv[1]);
}
