// qrx-recover run as a person runs it: a real process, its exit status and what it prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string output;  // standard output and standard error together
};

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out.append(c == '\'' ? "'\\''" : std::string(1, c));
  return out.append(1, '\'');
}

ToolRun RunTool(const std::vector<std::string>& args) {
  std::string command = Quoted(std::string(QRX_BIN_DIR) + "/qrx-recover");
  for (const std::string& arg : args) command.append(1, ' ').append(Quoted(arg));
  command += " 2>&1 </dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ToolRun run{-1, {}};
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CommandLine, WrongCommandLinesGetUsageAndStatusTwo) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"only-source"},
                                             {"a", "b", "c"},
                                             {"--bogus", "a", "b"},
                                             {"--log"},
                                             {"--log=", "a", "b"}}) {
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_TRUE(Contains(run.output, "usage: qrx-recover")) << run.output;
  }
}

TEST(CommandLine, HelpAndVersion) {
  const ToolRun help = RunTool({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Contains(help.output, "Exit status:"));
  const ToolRun version = RunTool({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(Contains(version.output, "qrx-recover "));
}

TEST(CommandLine, EachFailureHasItsStatusAndOneLineMessage) {
  TempDir dir;
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(9000, 0x33));
  const ToolRun missing = RunTool({(dir / "missing.fp7").string(), (dir / "out").string()});
  EXPECT_EQ(missing.status, 3);
  EXPECT_TRUE(Contains(missing.output, "qrx-recover: cannot open the source file"));
  const ToolRun unknown = RunTool({(dir / "noise.bin").string(), (dir / "out").string()});
  EXPECT_EQ(unknown.status, 4);
  EXPECT_TRUE(Contains(unknown.output, "Pass 1: analyzing database..."));
  EXPECT_TRUE(Contains(unknown.output, "  5% Getting file version..."));
  EXPECT_TRUE(Contains(unknown.output, "qrx-recover: nothing to recover"));
}

TEST(CommandLine, TargetThatCannotBeAFolderIsRefusedBeforeTheRecovery) {
  TempDir dir;
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(9000, 0x33));
  const ToolRun run = RunTool({(dir / "noise.bin").string(), (dir / "noise.bin" / "out").string()});
  EXPECT_EQ(run.status, 5);
  EXPECT_TRUE(Contains(run.output, "qrx-recover: cannot create the target folder"));
  EXPECT_FALSE(Contains(run.output, "Pass 1"));
  // Missing parents are made.
  EXPECT_EQ(RunTool({(dir / "noise.bin").string(), (dir / "a" / "b").string()}).status, 4);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a" / "b"));
}

TEST(CommandLine, JsonReportAndLogFile) {
  TempDir dir;
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(9000, 0x33));
  const ToolRun run = RunTool({"--json", "--host-strings", "--log", (dir / "run.log").string(),
                               (dir / "noise.bin").string(), (dir / "out").string()});
  EXPECT_EQ(run.status, 4);
  EXPECT_TRUE(Contains(run.output, "{\"result\": -3, \"message\": \"nothing to recover"));
  EXPECT_TRUE(Contains(run.output, "\"grade\": 1, \"entries\": []}"));
  // With host strings the library sends keys; the tool shows ktcmn's translation.
  EXPECT_TRUE(Contains(run.output, "analyzing database"));
  EXPECT_FALSE(Contains(run.output, "App/Resources"));
  EXPECT_TRUE(Contains(ReadFileText(dir / "run.log"), "App/Resources/DllStrings/qrx/Pass1"));
}

}  // namespace
