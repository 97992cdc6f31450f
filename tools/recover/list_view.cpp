#include "list_view.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text.h"
#include "qrx/qrx.h"
#include "report_view.h"

namespace {

namespace platform = qrx::platform;

// The names of the stored objects, as the report's "Stored files" entry lists them.
std::vector<std::string> StoredObjects(const Report& report) {
  std::vector<std::string> names;
  for (const ReportRow& row : report.rows) {
    if (row.item != "Stored files") continue;
    const std::string list = row.note.substr(0, row.note.find("; "));
    for (size_t from = 0; from < list.size();) {
      const size_t comma = list.find(", ", from);
      names.push_back(list.substr(from, comma - from));
      from = comma == std::string::npos ? list.size() : comma + 2;
    }
  }
  return names;
}

std::string Listing(const std::string& source, const Report& report) {
  std::string out = "What a recovery of " + ShownName(source) + " writes:\n";
  for (const TableResult& table : report.tables) {
    out += "  " + table.name + ": " + std::to_string(table.rows) +
           (table.rows == 1 ? " row" : " rows");
    if (!table.note.empty()) out += " (" + table.note + ")";
    out += "\n";
    size_t width = 4;
    for (const TableResult::Column& column : table.columnList) {
      width = std::max(width, DisplayWidth(column.name));
    }
    for (const TableResult::Column& column : table.columnList) {
      out += "    " + column.name + std::string(width - DisplayWidth(column.name), ' ') + "  " +
             column.type + "  " + column.fieldName +
             std::string(10 - std::min<size_t>(10, column.fieldName.size()), ' ') + "  " +
             column.kind + "\n";
    }
  }
  const std::vector<std::string> stored = StoredObjects(report);
  out += "  Stored objects: " + std::to_string(stored.size()) + "\n";
  for (const std::string& name : stored) out += "    " + name + "\n";
  return out;
}

nlohmann::ordered_json ListingJson(const std::string& source, const Report& report,
                                   int32_t result) {
  nlohmann::ordered_json tables = nlohmann::ordered_json::array();
  for (const TableResult& table : report.tables) {
    nlohmann::ordered_json columns = nlohmann::ordered_json::array();
    for (const TableResult::Column& column : table.columnList) {
      columns.push_back({{"name", column.name},
                         {"fieldName", column.fieldName},
                         {"type", std::string(1, column.type)},
                         {"kind", column.kind}});
    }
    tables.push_back({{"name", table.name},
                      {"rows", table.rows},
                      {"damagedUnits", table.damagedUnits},
                      {"note", table.note.empty() ? nlohmann::ordered_json()
                                                  : nlohmann::ordered_json(table.note)},
                      {"columns", columns}});
  }
  return {{"source", ShownName(source)},
          {"result", result},
          {"grade", std::atoi(report.grade.c_str())},
          {"tables", tables},
          {"storedObjects", StoredObjects(report)}};
}

int ExitStatusOf(int32_t result) {
  switch (result) {
    case QRX_OK:
      return 0;
    case QRX_CANNOT_OPEN:
      return 3;
    case QRX_NOTHING_TO_RECOVER:
      return 4;
    case QRX_STOPPED:
      return 130;
    default:
      return 1;
  }
}

}  // namespace

int ListSource(const CommandLine& line, ProgressView& view) {
  const std::string& source = line.sources.front();
  const size_t reportRowsBefore = FetchReport().rows.size();
  const qrx_options options{sizeof(qrx_options),
                            QRX_MODE_DEEP,
                            line.utf8 ? uint32_t{QRX_ENCODING_UTF8} : QRX_ENCODING_WINDOWS_1252,
                            QRX_FORMAT_DBF,
                            0,
                            1};
  const int32_t result = FileRecoverEx(platform::FromUtf8(source).c_str(), u"", &options);
  view.Finish();
  const Report report = FetchReport(reportRowsBefore);
  if (line.json) {
    std::fputs(JsonText(ListingJson(source, report, result)).c_str(), stdout);
  } else if (result == QRX_OK) {
    std::fputs(Listing(source, report).c_str(), stdout);
  }
  if (result != QRX_OK) {
    std::fprintf(stderr, "qrx-recover: nothing to list in %s (result %d; --log FILE says why)\n",
                 ShownName(source).c_str(), static_cast<int>(result));
  }
  return ExitStatusOf(result);
}
