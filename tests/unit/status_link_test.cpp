#include "diag/status_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/log.h"
#include "diag/status_texts.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::u16string> g_diagnostics;
std::vector<std::pair<std::u16string, int32_t>> g_progress;

void WriteDiag(const char16_t* text) {
  g_diagnostics.emplace_back(text);
}
void StatusBar(const char16_t* text, int32_t percent) {
  g_progress.emplace_back(text, percent);
}

class StatusLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_diagnostics.clear();
    g_progress.clear();
    g_Log.Open((dir / "link.log").string().c_str(), true);
  }
  void TearDown() override {
    g_Log.Close();
    SetBuiltinTexts();
  }
  std::string LogText() { return ReadFileText(dir / "link.log"); }

  TempDir dir;
  CStatusLink link;
};

TEST_F(StatusLinkTest, MissingCallbackFailsBeforeLoadingAnything) {
  EXPECT_EQ(link.InitLink(nullptr, StatusBar, 0, 3, 30), -2);
  EXPECT_EQ(link.InitLink(WriteDiag, nullptr, 0, 3, 30), -2);
  const std::string log = LogText();
  EXPECT_NE(log.find("[ERROR]: !WriteDiag\n!WriteDiag\n"), std::string::npos);
  EXPECT_NE(log.find("[ERROR]: !StatusBar\n!StatusBar\n"), std::string::npos);
  EXPECT_EQ(log.find("loading ktcmn..."), std::string::npos);
}

TEST_F(StatusLinkTest, BuiltinPassesAreNumberedAndWrapAfterTheLast) {
  ASSERT_EQ(link.InitLink(WriteDiag, StatusBar, 0, 3, 30), 0);
  link.NextPass(Pass1Text);
  link.NextPass(Pass2Text);
  link.NextPass(Pass3Text);
  link.NextPass(Pass1Text);
  EXPECT_EQ(g_diagnostics, (std::vector<std::u16string>{
                               u"Pass 1: analyzing database...",
                               u"Pass 2: recovering columns schema...",
                               u"Pass 3: recovering table rows...",
                               u"Pass 1: analyzing database...",
                           }));
  const std::string log = LogText();
  EXPECT_NE(log.find("loading ktcmn...\ndone...\n"), std::string::npos);
  EXPECT_NE(log.find("Pass 2: recovering columns schema...\nvoid WDiag(char *text)\n"
                     "Wrote Diag [Pass 2: recovering columns schema...]\n"),
            std::string::npos);
}

TEST_F(StatusLinkTest, HostStringsSendTheKeysAloneAndANewLinkResetsThem) {
  link.SetExternStrings(1);
  ASSERT_EQ(link.InitLink(WriteDiag, StatusBar, 0, 3, 30), 0);
  link.NextPass(Pass2Text);
  link.WDiag(DoneText);
  EXPECT_EQ(std::u16string(PassLabel), u"Pass");
  link.SetExternStrings(0);
  ASSERT_EQ(link.InitLink(WriteDiag, StatusBar, 0, 3, 30), 0);
  link.NextPass(Pass1Text);
  EXPECT_EQ(g_diagnostics, (std::vector<std::u16string>{
                               u"App/Resources/DllStrings/qrx/Pass2",
                               u"App/Resources/DllStrings/qrx/Done",
                               u"Pass 1: analyzing database...",
                           }));
}

TEST_F(StatusLinkTest, ProgressTextsCarryTheNumberAndAPercentSign) {
  ASSERT_EQ(link.InitLink(WriteDiag, StatusBar, 0, 3, 30), 0);
  link.SBar(u"Getting file version...", 5);
  link.SBar(u"Writing row data...", 100);
  link.SBar(100);
  const std::u16string longText(400, u'x');
  link.SBar(longText.c_str(), 42);
  ASSERT_EQ(g_progress.size(), 4u);
  EXPECT_EQ(g_progress[0], std::make_pair(std::u16string(u"Getting file version... 5%"), 5));
  EXPECT_EQ(g_progress[1], std::make_pair(std::u16string(u"Writing row data... 100%"), 100));
  EXPECT_EQ(g_progress[2], std::make_pair(std::u16string(), 100));
  EXPECT_EQ(g_progress[3].first.size(), 259u);  // cut to the message buffer
  EXPECT_NE(LogText().find("void SBar(int prc)\n"), std::string::npos);
}

TEST_F(StatusLinkTest, DiagnosticWithoutCallbackIsLoggedAsNotWritten) {
  link.WDiag(u"lost");
  EXPECT_TRUE(g_diagnostics.empty());
  EXPECT_NE(LogText().find("void WDiag(char *text)\nNo WriteDiag - cannot wrote [lost]\n"),
            std::string::npos);
}

}  // namespace
