// Sources and targets out of the ordinary: a sparse file beyond 4 GiB, files of one page or a few
// bytes around the first fp7 page, a folder as source, an unreadable source, a target folder that
// cannot be written, a target path through a file. Each ends with its documented code, and the log
// says why.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/file_connector.h"
#include "engine/fp7_engine.h"
#include "qrx/qrx.h"
#include "support/dbf_reader.h"
#include "support/fp5_builder.h"
#include "support/fp7_builder.h"
#include "support/recovery_sandbox.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

#if !defined(_WIN32)  // POSIX permissions and users
// Runs `recover` as an unprivileged user when the tests run as root (who reads and writes
// everything), so that permissions count; the sandbox is opened to that user first.
int32_t Unprivileged(const RecoverySandbox& sandbox, const std::function<int32_t()>& recover) {
  if (geteuid() != 0) return recover();
  fs::permissions(sandbox.root(), fs::perms::all);
  int channel[2];
  if (pipe(channel) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    int32_t result = 1;
    if (setgid(65534) == 0 && setuid(65534) == 0) result = recover();
    if (write(channel[1], &result, sizeof result) != sizeof result) _exit(1);
    _exit(0);
  }
  close(channel[1]);
  int32_t result = 1;
  if (read(channel[0], &result, sizeof result) != sizeof result) result = 1;
  close(channel[0]);
  waitpid(child, nullptr, 0);
  return result;
}
#endif

Bytes SmallFp7(const std::string& tableName) {
  std::vector<fp7::Table> tables = fp7::SampleTables(1, 3);
  tables[0].name = tableName;
  return fp7::BuildDatabase(tables);
}

// fp5 definitions on page 4, then one record per page on pages 5, 6 and 7.
Bytes Fp5OneRecordPerPage() {
  using namespace fp5build;
  Fp5FileBuilder file;
  file.AddDefinitions({}, {{1, "Name"}});
  for (uint16_t id = 1; id <= 3; ++id) {
    file.AddRecords({{Fp5Id::Auto(id), {Fp5Field::Value(1, "row " + std::to_string(id))}}});
  }
  return file.Build();
}

TEST(OddFiles, SparseFileBeyondFourGiBIsReadWhereItsPagesLie) {
  RecoverySandbox sandbox;
  const Bytes nearTables = SmallFp7("Near");
  const Bytes farPage = fp7::MakeFile(fp7::LayOutDatabase(fp7::SampleTables(1, 1)));
  const uint64_t farAt = (uint64_t{1} << 32) + 4096 * 16;  // a page beyond 4 GiB
  WriteFileBytes(sandbox.source(), nearTables);
  fs::resize_file(sandbox.source(), farAt);
  {
    std::ofstream out(sandbox.source(), std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(farPage.data()) + 8192, 4096);
  }
  // The page engine reads the far page where it lies, not at its offset modulo 4 GiB.
  CFileConnector connector;
  ASSERT_EQ(connector.OpenSource(Utf16(sandbox.source()).c_str()), 0);
  CFMEngine engine;
  ASSERT_TRUE(engine.Connect(&connector));
  engine.m_nCurrentPage = static_cast<uint32_t>(farAt / 4096);
  ASSERT_TRUE(engine.ReadPage());
  EXPECT_EQ(std::memcmp(engine.m_pPage, farPage.data() + 8192, 4096), 0);
  connector.m_hFile.Close();

  // The tables at the start are recovered; the walks end at the first hole page (an all-zero page
  // is unreadable), so the far page is not reached.
  EXPECT_EQ(sandbox.Recover(sandbox.source(), sandbox.target()), QRX_OK);
  EXPECT_EQ(sandbox.Outputs(), std::vector<std::string>{"Near.dbf"});
  EXPECT_TRUE(Contains(sandbox.Log(), "Source file size (high DWORD): [1]"));
  EXPECT_EQ(sandbox.Strays(), std::vector<fs::path>{});
}

TEST(OddFiles, FilesOfOnePageOrNearTheFirstFp7PageBoundary) {
  RecoverySandbox sandbox;
  // One page of either format is too short for a format to be told.
  for (const size_t size : {size_t{1}, size_t{1024}, size_t{4096}}) {
    Bytes bytes = SmallFp7("T");
    bytes.erase(bytes.begin(), bytes.begin() + 8192);
    bytes.resize(size);
    EXPECT_EQ(sandbox.Recover(bytes), QRX_NOTHING_TO_RECOVER) << size;
    EXPECT_TRUE(Contains(sandbox.Log(), "TEST VERS: fp5 pages = 0 %")) << size;
    EXPECT_TRUE(Contains(sandbox.Log(), "TEST VERS: fp7 pages = 0 %")) << size;
  }
  // fp7 pages start at 8192: one byte less or more leaves no whole page.
  for (const size_t size : {size_t{8191}, size_t{8193}}) {
    Bytes bytes = SmallFp7("T");
    bytes.resize(size);
    EXPECT_EQ(sandbox.Recover(bytes), QRX_NOTHING_TO_RECOVER) << size;
    EXPECT_TRUE(Contains(sandbox.Log(), "TEST VERS: fp7 pages = 0 %")) << size;
  }
  // fp5 pages are 1024 bytes from 4096 on: 8191 bytes end within page 7, 8193 just behind it.
  for (const auto& [size, rows] : {std::pair<size_t, size_t>{8191, 2}, {8193, 3}}) {
    Bytes bytes = Fp5OneRecordPerPage();
    bytes.resize(size);
    EXPECT_EQ(sandbox.Recover(bytes), QRX_OK) << size;
    EXPECT_EQ(ReadDbf(sandbox.target() / "Table.dbf").rows.size(), rows) << size;
  }
}

#if !defined(_WIN32)  // POSIX permissions and users
TEST(OddFiles, SourcesThatCannotBeRead) {
  RecoverySandbox sandbox;
  EXPECT_EQ(sandbox.Recover(sandbox.root(), sandbox.target()), QRX_CANNOT_OPEN);
  EXPECT_TRUE(Contains(sandbox.Log(), "[ERROR]: LogRequiredInformation failed to open file"));
  EXPECT_TRUE(Contains(sandbox.Log(), "The source file cannot be opened: Is a directory"));

  WriteFileBytes(sandbox.source(), SmallFp7("T"));
  fs::permissions(sandbox.source(), fs::perms::none);
  EXPECT_EQ(
      Unprivileged(sandbox, [&] { return sandbox.Recover(sandbox.source(), sandbox.target()); }),
      QRX_CANNOT_OPEN);
  EXPECT_TRUE(Contains(sandbox.Log(), "The source file cannot be opened: Permission denied"));
  EXPECT_FALSE(fs::exists(sandbox.target()));
}

TEST(OddFiles, TargetsThatCannotBeWritten) {
  for (const auto& [source, table] :
       {std::pair{SmallFp7("T"), "T.dbf"}, std::pair{Fp5OneRecordPerPage(), "Table.dbf"}}) {
    RecoverySandbox sandbox;
    WriteFileBytes(sandbox.source(), source);
    fs::create_directory(sandbox.target());
    fs::permissions(sandbox.target(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(
        Unprivileged(sandbox, [&] { return sandbox.Recover(sandbox.source(), sandbox.target()); }),
        QRX_WRITE_FAILED)
        << table;
    const std::string denied = "DbfGen: Can't create file: " + (sandbox.target() / table).string() +
                               "\nDbfGen: Permission denied\n";
    EXPECT_TRUE(Contains(sandbox.Log(), denied)) << table;
    EXPECT_TRUE(fs::is_empty(sandbox.target())) << table;

    WriteFileBytes(sandbox.root() / "file", {1});
    const fs::path throughFile = sandbox.root() / "file" / "out";
    EXPECT_EQ(sandbox.Recover(sandbox.source(), throughFile), QRX_WRITE_FAILED) << table;
    EXPECT_TRUE(Contains(sandbox.Log(), "Target folder cannot be created: " + throughFile.string()))
        << table;
  }
}
#endif

}  // namespace
