#include "report_view.h"

#include <algorithm>
#include <cstdio>

#include "platform/text.h"
#include "qrx/qrx.h"

namespace {

std::string Text(const qrx_utf16_t* text) {
  return text != nullptr ? qrx::platform::ToValidUtf8(text) : std::string();
}

// Display width of UTF-8 text: one column per code point.
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// Names come from a damaged file: control characters in them would move the terminal's cursor,
// so the table shows each as '?'.
std::string Printable(std::string text) {
  std::replace_if(
      text.begin(), text.end(),
      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, '?');
  return text;
}

std::string Padded(const std::string& text, size_t width) {
  return text + std::string(width - std::min(width, Width(text)), ' ');
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(' ') == std::string::npos;
}

}  // namespace

Report FetchReport() {
  qrx_utf16_t** items = nullptr;
  qrx_utf16_t** details = nullptr;
  qrx_utf16_t** grades = nullptr;
  qrx_utf16_t** notes = nullptr;
  RecoveryReport(&items, &details, &grades, &notes);
  Report report{"1", {}};
  if (items == nullptr || details == nullptr || grades == nullptr || notes == nullptr) {
    return report;
  }
  report.grade = Text(grades[0]);
  for (size_t row = 1; items[row] != nullptr; ++row) {
    report.rows.push_back({Text(items[row]), Text(details[row]), Text(notes[row])});
  }
  return report;
}

std::string FormatReportTable(const Report& report) {
  std::string out = "Recovery report: grade " + report.grade + " of 3\n";
  if (report.rows.empty()) return out + "  (no tables recovered)\n";
  size_t itemWidth = 4;
  size_t detailWidth = 7;
  bool anyNote = false;
  for (const ReportRow& row : report.rows) {
    itemWidth = std::max(itemWidth, Width(row.item));
    detailWidth = std::max(detailWidth, Width(row.detail));
    anyNote = anyNote || !IsBlank(row.note);
  }
  const auto line = [&](const std::string& item, const std::string& detail,
                        const std::string& note) {
    std::string text = "  " + Padded(item, itemWidth) + "  ";
    text += anyNote ? Padded(detail, detailWidth) + "  " + note : detail;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };
  out += line("Item", "Details", "Note");
  out += line(std::string(itemWidth, '-'), std::string(detailWidth, '-'), anyNote ? "----" : "");
  for (const ReportRow& row : report.rows) {
    out += line(Printable(row.item), Printable(row.detail), Printable(row.note));
  }
  return out;
}

std::string FormatReportJson(const Report& report, int32_t result, const std::string& message) {
  std::string out = "{\"result\": " + std::to_string(result) +
                    ", \"message\": " + JsonString(message) + ", \"grade\": " + report.grade +
                    ", \"entries\": [";
  for (size_t i = 0; i < report.rows.size(); ++i) {
    const ReportRow& row = report.rows[i];
    out += i == 0 ? "\n  " : ",\n  ";
    out += "{\"item\": " + JsonString(row.item) + ", \"detail\": " + JsonString(row.detail) +
           ", \"note\": " + JsonString(IsBlank(row.note) ? "" : row.note) + "}";
  }
  return out + (report.rows.empty() ? "]}\n" : "\n]}\n");
}
