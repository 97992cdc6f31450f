// FileRecover through the shared library's exports, as a host calls it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::u16string> g_diagnostics;
std::vector<std::pair<std::u16string, int32_t>> g_progress;

void WriteDiag(const qrx_utf16_t* text) {
  g_diagnostics.emplace_back(text);
}
void StatusBar(const qrx_utf16_t* text, int32_t percent) {
  g_progress.emplace_back(text, percent);
}

class FileRecoverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_diagnostics.clear();
    g_progress.clear();
    DllInitialize(u"test host", WriteDiag, StatusBar);
    SetLogPath(Utf16(logPath).c_str());
    UseExternStatusStrings(0);
    SetBreakFlag(&breakByte);
  }
  void TearDown() override { SetLogPath(u""); }

  // The source argument carries one extra unit that the library drops.
  int32_t Recover(const fs::path& source, const fs::path& target) {
    const std::u16string argument = Utf16(source) + u'*';
    return FileRecover(argument.c_str(), Utf16(target).c_str(), "unused");
  }
  std::string Log() { return ReadFileText(logPath); }

  TempDir dir;
  fs::path logPath = dir / "recover.log";
  volatile uint8_t breakByte = 0;
};

TEST_F(FileRecoverTest, WithoutCallbacksFailsWithTheGeneralCode) {
  WriteFileBytes(dir / "a.fp7", {1, 2, 3});
  DllInitialize(nullptr, nullptr, StatusBar);
  EXPECT_EQ(Recover(dir / "a.fp7", dir / "out"), QRX_FAILURE);
  DllInitialize(nullptr, WriteDiag, nullptr);
  EXPECT_EQ(Recover(dir / "a.fp7", dir / "out"), QRX_FAILURE);
  EXPECT_TRUE(g_diagnostics.empty());
  EXPECT_NE(Log().find("[ERROR]: !WriteDiag"), std::string::npos);
  EXPECT_NE(Log().find("[ERROR]: !StatusBar"), std::string::npos);
}

TEST_F(FileRecoverTest, SourceThatCannotBeOpenedOrIsEmpty) {
  EXPECT_EQ(Recover(dir / "missing.fp7", dir / "out"), QRX_CANNOT_OPEN);
  EXPECT_NE(Log().find("[ERROR]: LogRequiredInformation failed to open file"), std::string::npos);
  EXPECT_EQ(Recover(dir.path(), dir / "out"), QRX_CANNOT_OPEN);  // a folder is no database
  WriteFileBytes(dir / "empty.fp7", {});
  EXPECT_EQ(Recover(dir / "empty.fp7", dir / "out"), QRX_NOTHING_TO_RECOVER);
  EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(FileRecoverTest, UnknownContentIsRefusedAfterTheFirstPassAndFivePercent) {
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(10000, 0x5A));
  EXPECT_EQ(Recover(dir / "noise.bin", dir / "out"), QRX_NOTHING_TO_RECOVER);
  EXPECT_EQ(g_diagnostics, std::vector<std::u16string>{u"Pass 1: analyzing database..."});
  ASSERT_EQ(g_progress.size(), 1u);
  EXPECT_EQ(g_progress[0].first, u"Getting file version... 5%");
  EXPECT_EQ(g_progress[0].second, 5);

  const std::string log = Log();
  const std::string source = (dir / "noise.bin").string();
  for (const std::string& line : std::vector<std::string>{
           "============== LOGGER MACHINE INFO =================",
           "Log file name: [" + logPath.string() + "]",
           std::string("loading ktcmn...\ndone..."),
           "Recovering file: [" + source + "]",
           "Target directory: [" + (dir / "out").string() + "]",
           std::string("Source file size (low DWORD): [10000]\n"
                       "Source file size (high DWORD): [0]\n"
                       "Pass 1: analyzing database...\n"),
       }) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

TEST_F(FileRecoverTest, HostStringModeSendsResourceKeys) {
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(100, 0x01));
  UseExternStatusStrings(1);
  EXPECT_EQ(Recover(dir / "noise.bin", dir / "out"), QRX_NOTHING_TO_RECOVER);
  EXPECT_EQ(g_diagnostics, std::vector<std::u16string>{u"App/Resources/DllStrings/qrx/Pass1"});
}

TEST_F(FileRecoverTest, EmptyLogPathWritesNoLogAndTheRecoveryRunsTheSame) {
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(100, 0x01));
  const fs::path otherLog = dir / "other.log";
  SetLogPath(u"");
  EXPECT_EQ(Recover(dir / "noise.bin", dir / "out"), QRX_NOTHING_TO_RECOVER);
  SetLogPath(Utf16(dir / "no-such-folder" / "x.log").c_str());
  EXPECT_EQ(Recover(dir / "noise.bin", dir / "out"), QRX_NOTHING_TO_RECOVER);
  EXPECT_EQ(g_diagnostics.size(), 2u);
  EXPECT_FALSE(fs::exists(logPath));
  EXPECT_FALSE(fs::exists(dir / "no-such-folder"));
}

TEST_F(FileRecoverTest, NullAndOverlongArgumentsGetAnAnswerNotACrash) {
  WriteFileBytes(dir / "noise.bin", std::vector<unsigned char>(100, 0x01));
  EXPECT_EQ(FileRecover(nullptr, Utf16(dir.path()).c_str(), nullptr), QRX_CANNOT_OPEN);
  EXPECT_EQ(FileRecover(u"", Utf16(dir.path()).c_str(), nullptr), QRX_CANNOT_OPEN);
  const std::u16string source = Utf16(dir / "noise.bin") + u'*';
  EXPECT_EQ(FileRecover(source.c_str(), nullptr, nullptr), QRX_NOTHING_TO_RECOVER);
  const std::u16string longTarget = Utf16(dir.path()) + u'/' + std::u16string(300, u'd');
  EXPECT_EQ(FileRecover(source.c_str(), longTarget.c_str(), nullptr), QRX_FAILURE);
  EXPECT_NE(Log().find("[ERROR]: Target directory path is too long"), std::string::npos);
  const std::u16string longSource = Utf16(dir.path()) + u'/' + std::u16string(300, u's') + u'*';
  EXPECT_EQ(FileRecover(longSource.c_str(), Utf16(dir.path()).c_str(), nullptr), QRX_CANNOT_OPEN);

  DllInitialize(nullptr, WriteDiag, StatusBar);
  SetLogPath(nullptr);  // keeps the path set before
  SetBreakFlag(nullptr);
  EXPECT_EQ(Recover(dir / "noise.bin", dir / "out"), QRX_NOTHING_TO_RECOVER);
  EXPECT_EQ(RecoveryReport(nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(FileRecoverTest, ReportIsAvailableAfterARecovery) {
  qrx_utf16_t** items = nullptr;
  qrx_utf16_t** details = nullptr;
  qrx_utf16_t** grades = nullptr;
  qrx_utf16_t** notes = nullptr;
  EXPECT_EQ(RecoveryReport(&items, &details, &grades, &notes), 0);
  ASSERT_NE(grades, nullptr);
  EXPECT_EQ(std::u16string(grades[0]), u"1");
  EXPECT_EQ(std::u16string(items[0]), u"");
}

}  // namespace
