// Programs run as a person runs them: a real process, its exit status and what it prints.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct ToolRun {
  int status;          // the exit status, or -1 when the program did not end normally
  std::string output;  // standard output, followed by standard error when asked for
};

// Runs `program` with `args` in the folder `folder` (the current one when empty), with no standard
// input; `withErrors` adds what it writes to standard error.
ToolRun RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                   bool withErrors = true, const std::filesystem::path& folder = {});
