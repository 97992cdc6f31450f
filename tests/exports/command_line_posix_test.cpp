// qrx-recover run as a person runs it: a real process, its exit status and what it prints.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "support/fp7_builder.h"
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

// Arguments reach the library byte for byte: UTF-8 names, and a Latin-1 byte that is no UTF-8.
TEST(CommandLine, NamesAreTakenAsTheyAreGiven) {
  TempDir dir;
  const std::vector<unsigned char> database = fp7::BuildDatabase(fp7::SampleTables(2, 3));
  for (const std::string& name : {std::string("日志 Ärger"), std::string("caf\xE9")}) {
    const fs::path source = dir / (name + ".fp7");
    WriteFileBytes(source, database);
    const ToolRun run = RunTool({"--log", (dir / (name + ".log")).string(), source.string(),
                                 (dir / (name + " out")).string()});
    EXPECT_EQ(run.status, 0) << name << ": " << run.output;
    EXPECT_NE(ReadFileText(dir / (name + ".log")).find("Log file name: ["), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / (name + " out")), {}), 2) << name;
  }
  // The sources, the logs and the target folders, and nothing under a name that lost a character.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 6);
}

// Starts qrx-recover with its standard error on a pipe; Ctrl-C is sent once `cue` shows up there.
ToolRun RunToolInterruptedAt(const std::vector<std::string>& args, const std::string& cue) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {-1, {}};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  const std::string program = std::string(QRX_BIN_DIR) + "/qrx-recover";
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  ToolRun run{-1, {}};
  bool interrupted = false;
  char buffer[4096];
  for (ssize_t n; spawned == 0 && (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
    run.output.append(buffer, static_cast<size_t>(n));
    if (!interrupted && Contains(run.output, cue)) interrupted = kill(child, SIGINT) == 0;
  }
  close(pipeEnds[0]);
  int raw = 0;
  if (spawned == 0 && waitpid(child, &raw, 0) == child && WIFEXITED(raw)) {
    run.status = WEXITSTATUS(raw);
  }
  return run;
}

TEST(CommandLine, CtrlCStopsTheRecoveryWithItsOwnStatus) {
  TempDir dir;
  WriteFileBytes(dir / "big.fp7", fp7::BuildDatabase(fp7::SampleTables(60, 400)));
  const ToolRun run = RunToolInterruptedAt({(dir / "big.fp7").string(), (dir / "out").string()},
                                           "Writing row data...");
  EXPECT_EQ(run.status, 130) << run.output;
  EXPECT_TRUE(Contains(run.output, "qrx-recover: stopped at your request (code -1000)"));
  EXPECT_FALSE(Contains(run.output, "100% Writing row data..."));
}

}  // namespace
