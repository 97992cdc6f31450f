#include "progress_view.h"

#include <algorithm>
#include <cstdio>

namespace {

// The library appends " N%" to its progress texts; the view shows the number itself.
std::string WithoutPercentSuffix(const std::string& text, int32_t percent) {
  std::string suffix(1, ' ');
  suffix.append(std::to_string(percent)).append(1, '%');
  if (text.size() >= suffix.size() &&
      text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return text.substr(0, text.size() - suffix.size());
  }
  return text;
}

}  // namespace

void ProgressView::Diagnostic(const std::string& text) {
  Finish();
  std::fprintf(stderr, "%s\n", text.c_str());
}

void ProgressView::Progress(const std::string& text, int32_t percent) {
  const std::string activity = WithoutPercentSuffix(text, percent);
  if (!activity.empty()) activity_ = activity;
  const bool changed = percent != percent_ || !activity.empty();
  percent_ = percent;
  if (redraw_) {
    Draw();
  } else if (changed) {
    std::fprintf(stderr, "%3d%% %s\n", percent_, activity_.c_str());
  }
}

void ProgressView::Draw() {
  const int barWidth = std::clamp(width_ / 3, 10, 40);
  const int filled = std::clamp(percent_, 0, 100) * barWidth / 100;
  std::string line = "\r[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "] ";
  char number[8];
  std::snprintf(number, sizeof number, "%3d%% ", std::clamp(percent_, -99, 999));
  line += number;
  const size_t room = static_cast<size_t>(std::max(width_ - static_cast<int>(line.size()), 0));
  line += activity_.substr(0, room);
  line += "\x1b[K";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  lineOpen_ = true;
}

void ProgressView::Finish() {
  if (!lineOpen_) return;
  std::fputc('\n', stderr);
  lineOpen_ = false;
}
