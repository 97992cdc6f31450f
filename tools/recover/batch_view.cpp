#include "batch_view.h"

#include <algorithm>
#include <array>

namespace {

std::string Padded(const std::string& text, size_t width, bool right = false) {
  const std::string fill(width - std::min(width, DisplayWidth(text)), ' ');
  return right ? fill + text : text + fill;
}

struct SummaryLine {
  std::array<std::string, 5> cells;  // source, tables, rows, folder, outcome
};

SummaryLine LineOf(const SourceRun& run) {
  size_t tables = 0;
  uint64_t rows = 0;
  for (const TableResult& table : run.report.tables) {
    tables += table.rows != 0 ? 1 : 0;
    rows += table.rows;
  }
  const bool counted = run.ran && run.outcome.result == 0;
  return {{ShownName(run.source), counted ? std::to_string(tables) : "-",
           counted ? std::to_string(rows) : "-", ShownName(run.target), run.outcome.message}};
}

}  // namespace

std::string FormatBatchSummary(const std::vector<SourceRun>& runs) {
  std::vector<SummaryLine> lines = {{{"Source", "Tables", "Rows", "Folder", "Outcome"}}};
  for (const SourceRun& run : runs) lines.push_back(LineOf(run));
  std::array<size_t, 5> widths{};
  for (const SummaryLine& line : lines) {
    for (size_t i = 0; i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], DisplayWidth(line.cells[i]));
    }
  }
  std::string out = "Summary of " + std::to_string(runs.size()) + " sources\n";
  for (const SummaryLine& line : lines) {
    std::string text = " ";
    for (size_t i = 0; i < widths.size(); ++i) {
      const bool number = i == 1 || i == 2;
      text.append(" ").append(
          Padded(line.cells[i], i + 1 == widths.size() ? 0 : widths[i], number));
    }
    out += text + "\n";
  }
  return out;
}

std::string FormatBatchJson(const std::vector<SourceRun>& runs) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const SourceRun& run : runs) {
    nlohmann::ordered_json entry = {{"source", ShownName(run.source)},
                                    {"target", ShownName(run.target)}};
    entry.update(ReportJson(run.report, run.outcome, run.files));
    list.push_back(std::move(entry));
  }
  return JsonText(list);
}

int MostSeriousStatus(const std::vector<SourceRun>& runs) {
  static constexpr std::array<int, 7> kLeastFirst = {0, 4, 3, 2, 5, 1, 130};
  size_t worst = 0;
  for (const SourceRun& run : runs) {
    const auto* found = std::find(kLeastFirst.begin(), kLeastFirst.end(), run.outcome.exitStatus);
    if (found == kLeastFirst.end()) found = kLeastFirst.end() - 2;  // unknown: a failure
    worst = std::max(worst, static_cast<size_t>(found - kLeastFirst.begin()));
  }
  return kLeastFirst[worst];
}
