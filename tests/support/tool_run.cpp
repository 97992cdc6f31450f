#include "support/tool_run.h"

#include <sys/wait.h>

#include <cstdio>

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out.append(c == '\'' ? "'\\''" : std::string(1, c));
  return out.append(1, '\'');
}

}  // namespace

ToolRun RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                   bool withErrors, const std::filesystem::path& folder) {
  std::string command = folder.empty() ? "" : "cd " + Quoted(folder.string()) + " && ";
  command += Quoted(program.string());
  for (const std::string& arg : args) command.append(1, ' ').append(Quoted(arg));
  command += withErrors ? " 2>&1 </dev/null" : " 2>/dev/null </dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ToolRun run{-1, {}};
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}
