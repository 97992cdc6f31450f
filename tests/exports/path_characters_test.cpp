// Source, target folder and log named with characters beyond ASCII: a recovery through the exports
// reads and writes under exactly those names, never under a name that lost characters on the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/paged_databases.h"
#include "support/recovery_sandbox.h"

namespace {

namespace fs = std::filesystem;

TEST(PathCharacters, SourceTargetAndLogKeepEveryCharacter) {
  const SandboxNames names{fs::path(u8"数据库 café.fp7"), fs::path(u8"目标 Ärger"),
                           fs::path(u8"日志 é.log")};
  for (const PagedDatabase& database : {Fp5WithIdlePages(), Fp7WithIdlePages()}) {
    RecoverySandbox plain;
    ASSERT_EQ(plain.Recover(database.bytes), QRX_OK);
    RecoverySandbox named(true, names);
    EXPECT_EQ(named.Recover(database.bytes), QRX_OK);
    EXPECT_EQ(named.Strays(), std::vector<fs::path>{});
    ASSERT_EQ(named.Outputs(), plain.Outputs());
    for (const std::string& output : plain.Outputs()) {
      EXPECT_EQ(fs::file_size(named.target() / output), fs::file_size(plain.target() / output))
          << output;
    }
    // The log is 8-bit text: it names itself with '?' for what its code page lacks.
    const std::string log = named.Log();
    const std::string separator = fs::path("/").make_preferred().string();
    EXPECT_NE(log.find("Log file name: [" + named.root().string() + separator + "?? \xE9.log]\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("LOGGER MACHINE INFO"), std::string::npos);
  }
}

}  // namespace
