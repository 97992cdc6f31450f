// qrx-recover's progress view on a terminal: the library announces "done" before its last bare
// percentage; the view still ends each pass with one 100 % and then "done", for fp5 and fp7.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "progress_view.h"

namespace {

// Runs `feed` against a redrawing view and returns what it wrote.
template <typename Feed>
std::string Shown(Feed feed) {
  std::FILE* out = std::tmpfile();
  {
    ProgressView view(out, true, 80);
    feed(view);
    view.Finish();
  }
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  return text;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(ProgressView, PassEndsWithOneHundredPercentThenDone) {
  // fp5: the last progress text stops at 60 %; 100 % comes bare, after "done".
  const std::string fp5 = Shown([](ProgressView& view) {
    view.Diagnostic("Pass 3: recovering table rows...");
    view.Progress("Writing row data... 60%", 60);
    view.Diagnostic("done");
    view.Progress("", 100);
  });
  // fp7: the last progress text reaches 100 %; the bare 100 % after "done" repeats it.
  const std::string fp7 = Shown([](ProgressView& view) {
    view.Diagnostic("Pass 3: recovering table rows...");
    view.Progress("Writing row data... 100%", 100);
    view.Diagnostic("done");
    view.Progress("", 100);
  });
  for (const std::string& text : {fp5, fp7}) {
    EXPECT_EQ(Count(text, "100%"), 1u) << text;
    EXPECT_LT(text.find("100% Writing row data..."), text.find("done")) << text;
    EXPECT_EQ(text.substr(text.size() - 9), "\x1b[K\ndone\n") << text;
    EXPECT_EQ(text.find("Pass 3: recovering table rows...\n"), 0u) << text;
  }
}

}  // namespace
