#include "progress_view.h"

#include <algorithm>
#include <utility>

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
  if (label_) return;
  ShowHeld();
  held_ = text;
}

void ProgressView::Progress(const std::string& text, int32_t percent) {
  const std::string activity = WithoutPercentSuffix(text, percent);
  // A new activity belongs after the held announcement; a bare percentage before it.
  if (!activity.empty()) ShowHeld();
  const bool changed = percent != percent_ || !activity.empty();
  if (!activity.empty()) activity_ = label_ ? *label_ + ": " + activity : activity;
  percent_ = percent;
  if (changed && redraw_) {
    Draw();
  } else if (changed && !label_) {
    std::fprintf(out_, "%3d%% %s\n", percent_, activity_.c_str());
  }
  ShowHeld();
}

void ProgressView::Finish() {
  ShowHeld();
  EndLine();
}

void ProgressView::OneLinePer(std::string label) {
  Finish();
  label_ = std::move(label);
  activity_ = *label_;
  percent_ = -1;
}

void ProgressView::Conclude(const std::string& text) {
  std::fputs(((lineOpen_ ? "\r" : "") + text + (lineOpen_ ? "\x1b[K\n" : "\n")).c_str(), out_);
  std::fflush(out_);
  lineOpen_ = false;
}

void ProgressView::ShowHeld() {
  if (!held_) return;
  EndLine();
  std::fprintf(out_, "%s\n", held_->c_str());
  held_.reset();
}

void ProgressView::EndLine() {
  if (!lineOpen_) return;
  std::fputc('\n', out_);
  lineOpen_ = false;
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
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
  lineOpen_ = true;
}
