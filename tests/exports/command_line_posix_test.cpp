// qrx-recover run as a person runs it: a real process, its exit status and what it prints.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "support/fp5_builder.h"
#include "support/fp7_builder.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;
using fp5build::Fp5Field;
using fp5build::Fp5FileBuilder;
using fp5build::Fp5Id;

ToolRun RunTool(const std::vector<std::string>& args) {
  return RunProgram(fs::path(QRX_BIN_DIR) / "qrx-recover", args);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CommandLine, WrongCommandLinesGetStatusTwoAndAPointerToHelp) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"only-source"}, {"--bogus", "a", "b"}, {"--log"}, {"--log=", "a", "b"}}) {
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_TRUE(Contains(run.output, "--help")) << run.output;
  }
}

TEST(CommandLine, HelpAndVersion) {
  const ToolRun help = RunTool({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Contains(help.output, "Usage: qrx-recover [OPTIONS] SOURCE... [TARGET_DIR]"));
  EXPECT_TRUE(Contains(help.output, "--force"));
  EXPECT_TRUE(Contains(help.output, "Exit status:"));
  const ToolRun version = RunTool({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(Contains(version.output, "qrx-recover "));
}

// Each failure: its status, one line in plain words with the system's reason, no result code,
// and no target folder.
TEST(CommandLine, FailuresSayWhyAndCreateNothing) {
  TempDir dir;
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(9000, 0x33));
  fs::create_directory(dir / "folder.fp7");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{(dir / "missing.fp7").string()},
       3,
       "cannot open " + (dir / "missing.fp7").string() + ": no such file or directory"},
      {{(dir / "folder.fp7").string()}, 3, "folder.fp7: it is a folder"},
      {{(dir / "noise.bin").string()}, 4, "nothing to recover in " + (dir / "noise.bin").string()},
      {{"--log", (dir / "no-folder" / "run.log").string(), (dir / "noise.bin").string()},
       2,
       "cannot write the log " + (dir / "no-folder" / "run.log").string() +
           ": no such file or directory"},
      {{"--log", dir.path().string(), (dir / "noise.bin").string()}, 2, ": it is a folder"},
      {{(dir / "noise.bin").string(), (dir / "noise.bin" / "out").string()},
       5,
       "noise.bin is a file, so no folder can be made in it"},
  };
  for (const auto& each : cases) {
    std::vector<std::string> args = each.args;
    if (args.back().find("/out") == std::string::npos) args.push_back((dir / "out").string());
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.status, each.status) << run.output;
    EXPECT_TRUE(Contains(run.output, "qrx-recover: " + each.message) ||
                Contains(run.output, each.message))
        << run.output;
    EXPECT_FALSE(Contains(run.output, "code")) << run.output;
    EXPECT_FALSE(fs::exists(dir / "out")) << run.output;
    // Refused before any recovery starts.
    if (each.status == 2 || each.status == 5) {
      EXPECT_FALSE(Contains(run.output, "Pass 1"));
    }
  }
}

// Only the target folder itself is made, and only once the source has been read.
TEST(CommandLine, TargetIsMadeOnlyInAFolderThatIsThere) {
  TempDir dir;
  WriteFileBytes(dir / "db.fp7", fp7::BuildDatabase(fp7::SampleTables(2, 3)));
  const ToolRun nested = RunTool({(dir / "db.fp7").string(), (dir / "a" / "b").string()});
  EXPECT_EQ(nested.status, 5);
  EXPECT_TRUE(Contains(nested.output, "the folder " + (dir / "a").string() +
                                          " above it does not exist; create it first"))
      << nested.output;
  EXPECT_FALSE(fs::exists(dir / "a"));
  EXPECT_EQ(RunTool({(dir / "db.fp7").string(), (dir / "a").string()}).status, 0);
  EXPECT_TRUE(fs::is_directory(dir / "a"));
}

// A folder that holds files is refused; with --force the library's rules apply (tables already
// there are kept, stored files replaced) and the report lists what happened to each file.
TEST(CommandLine, OccupiedTargetNeedsForceAndThenListsEveryFile) {
  TempDir dir;
  WriteFileBytes(dir / "db.fp7", fp7::BuildDatabase(fp7::SampleTables(2, 3)));
  const std::string source = (dir / "db.fp7").string();
  const std::string target = (dir / "out").string();
  const ToolRun first = RunTool({source, target});
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_TRUE(Contains(first.output, "Files written:\n")) << first.output;
  const auto held = std::distance(fs::directory_iterator(dir / "out"), {});

  const ToolRun refused = RunTool({source, target});
  EXPECT_EQ(refused.status, 2);
  EXPECT_TRUE(Contains(refused.output, "already holds " + std::to_string(held) + " entries"));
  EXPECT_TRUE(Contains(refused.output, "--force"));
  EXPECT_FALSE(Contains(refused.output, "Pass 1"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), {}), held);

  const ToolRun forced = RunTool({"--force", source, target});
  EXPECT_EQ(forced.status, 0) << forced.output;
  EXPECT_TRUE(Contains(forced.output, "left as they were (never overwritten):\n")) << forced.output;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), {}), 2 * held);
}

TEST(CommandLine, LogFileAndHostStrings) {
  TempDir dir;
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(9000, 0x33));
  const ToolRun run = RunTool({"--host-strings", "--log", (dir / "run.log").string(),
                               (dir / "noise.bin").string(), (dir / "out").string()});
  EXPECT_EQ(run.status, 4);
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
    // Each of the two tables with its code page file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / (name + " out")), {}), 4) << name;
  }
  // The sources, the logs and the target folders, and nothing under a name that lost a character.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 6);
}

// Every pass ends with its last percentage and then "done", the same for fp5 and fp7.
TEST(CommandLine, EachPassEndsWithItsLastPercentageThenDone) {
  TempDir dir;
  WriteFileBytes(dir / "db.fp7", fp7::BuildDatabase(fp7::SampleTables(2, 3)));
  Fp5FileBuilder()
      .AddDefinitions({{5, {1}}}, {{1, "Name"}})
      .AddRecords({{Fp5Id::Auto(1), {Fp5Field::Value(1, "Ann")}}})
      .WriteTo(dir / "db.fp5");
  // The fp5 builder lays files out in the classic reader's model, which only classic recovery
  // reads.
  for (const std::string source : {"db.fp7", "db.fp5"}) {
    std::vector<std::string> args = {(dir / source).string(), (dir / (source + "-out")).string()};
    if (source == "db.fp5") args.insert(args.begin(), "--classic");
    const ToolRun run = RunTool(args);
    ASSERT_EQ(run.status, 0) << run.output;
    const size_t last = run.output.rfind("100% Writing row data...\ndone\nRecovery report:");
    EXPECT_NE(last, std::string::npos) << source << ":\n" << run.output;
    EXPECT_EQ(run.output.find("100%"), last) << source << ":\n" << run.output;
  }
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
  EXPECT_TRUE(Contains(run.output, "qrx-recover: stopped at your request\n"));
  EXPECT_FALSE(Contains(run.output, "100% Writing row data..."));
}

}  // namespace
