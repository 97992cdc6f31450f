// Every program the build puts in bin/ answers --help and does nothing else: it writes no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;

TEST(ProgramHelp, EveryProgramAnswersHelpWithoutSideEffects) {
  size_t programs = 0;
  for (const auto& entry : fs::directory_iterator(QRX_BIN_DIR)) {
    const fs::path& program = entry.path();
    if (!entry.is_regular_file() || program.extension() == ".so" ||
        (fs::status(program).permissions() & fs::perms::owner_exec) == fs::perms::none) {
      continue;
    }
    ++programs;
    TempDir dir;
    const ToolRun run = RunProgram(program, {"--help"}, false, dir.path());
    EXPECT_EQ(run.status, 0) << program;
    EXPECT_FALSE(run.output.empty()) << program;
    EXPECT_TRUE(fs::is_empty(dir.path())) << program << " wrote into its folder";
  }
  // qrx-recover, the two test programs and make_sample at least.
  EXPECT_GE(programs, 4u);
}

}  // namespace
