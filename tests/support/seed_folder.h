// The command line of the seed-writing programs: one argument, the folder to fill.
#pragma once

#include <filesystem>
#include <optional>

// The folder named by the only argument, created if missing; nothing, with the exit status to end
// with, after --help or a wrong command line.
std::optional<std::filesystem::path> SeedFolder(int argc, char** argv, int& exitStatus);
