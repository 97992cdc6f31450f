// The command line of the seed-writing programs: one argument, the folder to fill.
#pragma once

#include <filesystem>
#include <optional>

// The folder named by the only argument, created if missing; nothing (after a usage line on
// standard error) when the command line is wrong.
std::optional<std::filesystem::path> SeedFolder(int argc, char** argv);
