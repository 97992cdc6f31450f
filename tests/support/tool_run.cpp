#include "support/tool_run.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <cstdio>

namespace {

#if defined(_WIN32)
// cmd.exe runs the line: each word in double quotes, the whole line in one more pair, which cmd
// takes away. Standard output comes back in text mode, "\r\n" read as "\n".
std::string Quoted(const std::string& text) {
  return '"' + text + '"';
}
constexpr char kChangeFolder[] = "cd /d ";
constexpr char kNoInput[] = " <NUL";
constexpr char kNoErrors[] = " 2>NUL";
std::string Line(const std::string& command) {
  return '"' + command + '"';
}
int StatusOf(int raw) {
  return raw;
}
FILE* OpenPipe(const std::string& line) {
  return _popen(line.c_str(), "r");
}
int ClosePipe(FILE* pipe) {
  return _pclose(pipe);
}
#else
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out.append(c == '\'' ? "'\\''" : std::string(1, c));
  return out.append(1, '\'');
}
constexpr char kChangeFolder[] = "cd ";
constexpr char kNoInput[] = " </dev/null";
constexpr char kNoErrors[] = " 2>/dev/null";
std::string Line(const std::string& command) {
  return command;
}
int StatusOf(int raw) {
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}
FILE* OpenPipe(const std::string& line) {
  return popen(line.c_str(), "r");
}
int ClosePipe(FILE* pipe) {
  return pclose(pipe);
}
#endif

}  // namespace

ToolRun RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                   bool withErrors, const std::filesystem::path& folder) {
  std::string command = folder.empty() ? "" : kChangeFolder + Quoted(folder.string()) + " && ";
  command += Quoted(program.string());
  for (const std::string& arg : args) command.append(1, ' ').append(Quoted(arg));
  command += withErrors ? std::string(" 2>&1") + kNoInput : kNoErrors + std::string(kNoInput);
  FILE* pipe = OpenPipe(Line(command));
  ToolRun run{-1, {}};
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int raw = ClosePipe(pipe);
  run.status = raw < 0 ? -1 : StatusOf(raw);
  return run;
}
