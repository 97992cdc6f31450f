// Shows what the library reports while it works: pass announcements as lines, progress as one
// redrawn line with a bar when the output is a terminal, as plain lines otherwise.
// For a run over several sources the view can show one line per source instead: only the
// progress, labelled with the source, redrawn on a terminal and replaced by how it ended.
//
// The library announces the end of a pass ("done") before its last bare percentage: an
// announcement is held back until the next progress text, so that a bare percentage that follows
// it is shown first and every pass ends with its 100 % and then its "done", for fp5 and fp7 alike.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

class ProgressView {
 public:
  ProgressView(std::FILE* out, bool redraw, int width)
      : out_(out), redraw_(redraw), width_(width) {}
  // A pass announcement or another diagnostic text.
  void Diagnostic(const std::string& text);
  // A progress text ("Writing row data... 60%", or a bare percentage) with its percentage.
  void Progress(const std::string& text, int32_t percent);
  // Shows what is held back and ends a redrawn line, so that what follows starts on a line of
  // its own.
  void Finish();
  // From now on: announcements are not shown, progress is shown labelled "<label>: " and only
  // where it is redrawn in place.
  void OneLinePer(std::string label);
  // Ends the line of the source with `text` (in place of its progress where that is redrawn).
  void Conclude(const std::string& text);

 private:
  void ShowHeld();
  void EndLine();
  void Draw();

  std::FILE* out_;
  bool redraw_;
  int width_;
  bool lineOpen_ = false;
  std::optional<std::string> held_;
  std::string activity_;
  std::optional<std::string> label_;
  int32_t percent_ = -1;
};
