// Shows what the library reports while it works: pass announcements as lines, progress as one
// redrawn line with a bar when standard error is a terminal, as plain lines otherwise.
#pragma once

#include <cstdint>
#include <string>

class ProgressView {
 public:
  ProgressView(bool redraw, int width) : redraw_(redraw), width_(width) {}
  // A pass announcement or another diagnostic text.
  void Diagnostic(const std::string& text);
  // A progress text ("Writing row data... 60%" or empty) with its percentage.
  void Progress(const std::string& text, int32_t percent);
  // Ends a redrawn line, so that what follows starts on a line of its own.
  void Finish();

 private:
  void Draw();

  bool redraw_;
  int width_;
  bool lineOpen_ = false;
  std::string activity_;
  int32_t percent_ = -1;
};
