#include "diag/log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "[hh:mm:ss]"
bool IsStamp(const std::string& line) {
  if (line.size() != 10 || line[0] != '[' || line[3] != ':' || line[6] != ':' || line[9] != ']') {
    return false;
  }
  return std::all_of(line.begin() + 1, line.end() - 1,
                     [](char c) { return c == ':' || (c >= '0' && c <= '9'); });
}

// The log's lines without its time-stamp lines.
std::vector<std::string> Body(const std::string& text) {
  std::vector<std::string> lines;
  for (const std::string& line : Lines(text)) {
    if (!IsStamp(line)) lines.push_back(line);
  }
  return lines;
}

class LogTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = (dir / "qrx.log").string();
  Logger log;
};

TEST_F(LogTest, WritesHelperFormsOneLineEachWithLineFeedsOnly) {
  log.Open(path.c_str(), false);
  log.LogPair("Recovering file:", "C:\\a.fp7");
  log.LogPair("Nothing:", nullptr);
  log.LogNumber("Source file size (low DWORD):", -5);
  log.LogError("boom");
  log.LogFormat("%s %d", "x", 7);
  const std::string text = ReadFileText(dir / "qrx.log");
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(Body(text), (std::vector<std::string>{"Recovering file: [C:\\a.fp7]", "Nothing: [null]",
                                                  "Source file size (low DWORD): [-5]",
                                                  "[ERROR]: boom", "boom", "x 7"}));
}

TEST_F(LogTest, StampsTheFirstLineAndEachNewSecondOnly) {
  log.Open(path.c_str(), false);
  for (int i = 0; i < 50; ++i) log.LogLine("burst");
  const std::vector<std::string> lines = Lines(ReadFileText(dir / "qrx.log"));
  ASSERT_TRUE(IsStamp(lines.front()));
  std::vector<std::string> stamps;
  for (const std::string& line : lines) {
    if (IsStamp(line)) stamps.push_back(line);
  }
  // Fifty lines written in a burst straddle at most one change of second, and never repeat one.
  EXPECT_LE(stamps.size(), 2u);
  EXPECT_EQ(std::set<std::string>(stamps.begin(), stamps.end()).size(), stamps.size());
}

TEST_F(LogTest, HexDumpOfSeventeenBytesGivesTwoFullWidthLines) {
  log.Open(path.c_str(), false);
  unsigned char block[17];
  for (int i = 0; i < 17; ++i) block[i] = static_cast<unsigned char>(0x41 + i);
  block[1] = 0x07;
  block[2] = 0xE9;
  log.LogHex(block, sizeof block);
  const std::vector<std::string> lines = Body(ReadFileText(dir / "qrx.log"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "00000000:  41 07 E9 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  | A.\xE9"
            "DEFGHIJKLMNOP");
  EXPECT_EQ(lines[1], "00000010:  51" + std::string(47, ' ') + "| Q" + std::string(15, ' '));
  EXPECT_EQ(lines[0].size(), 78u);
  EXPECT_EQ(lines[1].size(), 78u);
}

TEST_F(LogTest, HexDumpOfNullOrEmptyBlock) {
  log.Open(path.c_str(), false);
  log.LogHex(nullptr, 4);
  log.LogHex("x", 0);
  const std::vector<std::string> lines = Body(ReadFileText(dir / "qrx.log"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "The binary data here seems to be an invalid memory block");
  EXPECT_EQ(lines[1], "There is no way to show it, the pointer was 0x00000000");
  EXPECT_EQ(lines[2], "");
}

TEST_F(LogTest, ReopeningAppendsWithABannerPerOpening) {
  log.OpenLog(Utf16(path));
  log.LogLine("first");
  log.OpenLog(Utf16(path));
  log.LogLine("second");
  const std::vector<std::string> lines = Body(ReadFileText(dir / "qrx.log"));
  const std::string rule(52, '=');
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "============== LOGGER MACHINE INFO ================="),
            2);
  EXPECT_EQ(lines[0], rule);
  EXPECT_TRUE(lines[3].rfind("__DATE__ [", 0) == 0);
  EXPECT_TRUE(lines[4].rfind("__TIME__ [", 0) == 0);
  const auto first = std::find(lines.begin(), lines.end(), "first");
  const auto second = std::find(lines.begin(), lines.end(), "second");
  ASSERT_NE(first, lines.end());
  ASSERT_NE(second, lines.end());
  EXPECT_LT(first, second);
}

TEST_F(LogTest, SilentWithoutFileOrBeforeOpening) {
  log.LogLine("dropped");  // output still off
  log.Open((dir / "missing-folder" / "qrx.log").string().c_str(), false);
  log.LogLine("dropped too");  // the file could not be created
  log.Open(path.c_str(), false);
  log.Close();
  log.LogLine("after close");
  EXPECT_EQ(ReadFileText(dir / "qrx.log"), "");
}

TEST_F(LogTest, LongFormattedMessageIsCutAtTheBuffer) {
  log.Open(path.c_str(), false);
  const std::string huge(20000, 'y');
  log.LogFormat("%s", huge.c_str());
  const std::vector<std::string> lines = Body(ReadFileText(dir / "qrx.log"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), KtLog::kMessageBufferSize - 1);
}

}  // namespace
