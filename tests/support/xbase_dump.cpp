#include "support/xbase_dump.h"

#include <cstdio>

namespace {

const std::filesystem::path kDumpScript =
    std::filesystem::path(__FILE__).parent_path().parent_path() / "tools" / "dbf_dump.pl";

}  // namespace

std::string XBaseDump(const std::filesystem::path& table) {
  const std::string command = "perl '" + kDumpScript.string() + "' '" + table.string() + "' 2>&1";
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "cannot run perl";
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  pclose(pipe);
  return output;
}
