#include "deep/fp7_recovery.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "deep/fp7_catalogue.h"
#include "deep/fp7_page.h"
#include "deep/fp7_stored_objects.h"
#include "deep/fp7_table_rows.h"
#include "deep/fp7_text.h"
#include "deep/progress.h"
#include "deep/recovery_report.h"
#include "deep/run_outputs.h"
#include "deep/source_pages.h"
#include "deep/stop_request.h"
#include "deep/table_writer.h"
#include "diag/log.h"
#include "diag/report.h"
#include "diag/result_codes.h"
#include "diag/status_link.h"
#include "diag/status_texts.h"
#include "platform/file.h"
#include "platform/text.h"

namespace deep {
namespace {

constexpr size_t kPageSize = 4096;
constexpr uint64_t kFirstPage = 1;  // page 0 is the file header
// Column definitions: byte 0 the field class, byte 1 the data type, byte 9 the storage.
constexpr uint8_t kSummaryClass = 3;
constexpr uint8_t kGlobalStorage = 1;
constexpr uint8_t kUnstoredStorage = 10;
// The first pass takes the progress from 10 to 50 percent, the second on to 99.
constexpr int32_t kIndexFrom = 10;
constexpr int32_t kTablesFrom = 50;
constexpr int32_t kTablesTo = 99;
// Stored files of one run take at most this many times the source's bytes: an intact file holds
// its objects inside itself.
constexpr uint64_t kStoredBytesPerSourceByte = 4;

std::string Narrow(const std::u16string& text) {
  return ToNarrow(text);
}

std::u16string Numbered(const char* prefix, uint64_t id) {
  return ToWide((prefix + std::to_string(id)).c_str());
}

ColumnKind KindOf(const Fp7Column& column) {
  if (column.FieldClass() == kSummaryClass) return ColumnKind::kText;
  switch (column.DataType()) {
    case 2:
      return ColumnKind::kNumber;
    case 3:
      return ColumnKind::kDate;
    case 4:
      return ColumnKind::kTime;
    case 5:
      return ColumnKind::kTimestamp;
    case 6:
      return ColumnKind::kContainer;
    default:
      return ColumnKind::kText;
  }
}

// The columns a table is written with, by id: every defined column that can hold record data
// (globals and unstored calculations cannot, unless a record holds a value for them anyway), and
// every column id the records use without a definition.
std::map<uint32_t, TableColumn> OutputColumns(const Fp7Table& table) {
  std::map<uint32_t, TableColumn> columns;
  for (const auto& [id, column] : table.columns) {
    const bool holdsNoData =
        column.Storage() == kGlobalStorage || column.Storage() == kUnstoredStorage;
    if (holdsNoData && !table.fieldsInRecords.contains(id)) continue;
    std::u16string name = DecodeFp7Text(column.storedName);
    if (name.empty()) name = Numbered("Field_", id);
    columns.emplace(id, TableColumn{std::move(name), KindOf(column)});
  }
  for (const uint32_t id : table.fieldsInRecords) {
    columns.try_emplace(id, TableColumn{Numbered("Field_", id), ColumnKind::kText});
  }
  return columns;
}

std::u16string TableName(uint64_t id, const Fp7Table& table) {
  std::u16string name = DecodeFp7Text(table.storedName);
  if (name.empty()) name = DecodeFp7Text(table.occurrenceName);
  return name.empty() ? Numbered("Table_", id) : name;
}

// What the third pass wrote.
struct StoredFiles {
  std::vector<std::u16string> names;
  bool anyFailed = false;
  bool cut = false;  // the limit for stored files was reached
};

void Report(const std::vector<TableOutcome>& tables, const StoredFiles& stored, uint64_t dataPages,
            uint64_t damagedPages) {
  ReportTables(tables, dataPages, damagedPages);
  if (stored.names.empty() && !stored.anyFailed) return;
  const std::u16string detail =
      ToWide((std::to_string(stored.names.size()) + (stored.names.size() == 1 ? " file" : " files"))
                 .c_str());
  std::u16string note = Joined(stored.names, u", ");
  if (stored.anyFailed) note += u"; some not written (see the log)";
  if (stored.cut) note += u"; cut at the limit for stored files";
  g_Report.AddEntry(u"Stored files", detail.c_str(), note.c_str());
}

// The first pass: every page once.
struct Index {
  Fp7Catalogue catalogue;
  uint64_t dataPages = 0;
  uint64_t damagedPages = 0;
  uint64_t indexPages = 0;
  uint64_t emptyPages = 0;
};

bool IndexPages(SourcePages& pages, Index& index) {
  Progress progress(u"Reading pages...", pages.PageCount(), kIndexFrom, kTablesFrom);
  for (uint64_t number = kFirstPage; number < pages.PageCount(); ++number) {
    if (StopRequested()) return false;
    index.catalogue.BeginPage(number);
    const PageOutcome outcome = DecodeFp7Page(pages.Page(number), index.catalogue);
    index.catalogue.EndPage(outcome);
    switch (outcome.kind) {
      case PageKind::kIndex:
        ++index.indexPages;
        break;
      case PageKind::kEmpty:
        ++index.emptyPages;
        break;
      case PageKind::kData:
        ++index.dataPages;
        break;
    }
    if (outcome.damaged) {
      ++index.damagedPages;
      g_Log.LogFormat("Page %llu damaged at byte %u: %s", static_cast<unsigned long long>(number),
                      outcome.stoppedAt, outcome.why);
    }
    progress.Advance();
  }
  index.catalogue.NameTablesFromOccurrences();
  g_Log.LogFormat("Pages read: %llu with data (%llu of them damaged), %llu index, %llu empty",
                  static_cast<unsigned long long>(index.dataPages),
                  static_cast<unsigned long long>(index.damagedPages),
                  static_cast<unsigned long long>(index.indexPages),
                  static_cast<unsigned long long>(index.emptyPages));
  return true;
}

// The second pass for one table; false when the host asked to stop (nothing of it is left).
bool WriteTable(SourcePages& pages, uint64_t tableId, const Fp7Table& table, RunOutputs& outputs,
                Progress& progress, TableOutcome& outcome) {
  const std::map<uint32_t, TableColumn> columns = OutputColumns(table);
  outcome.columns = columns.size();
  outcome.damagedUnits = table.damagedPages;
  g_Log.LogFormat("Table \"%s\" (id %llu): %zu columns, records on %zu pages",
                  Narrow(outcome.name).c_str(), static_cast<unsigned long long>(tableId),
                  columns.size(), table.recordPages.size());
  if (table.recordPages.empty()) return true;

  std::vector<TableColumn> list;
  std::map<uint32_t, size_t> slotOf;
  for (const auto& [id, column] : columns) {
    slotOf.emplace(id, list.size());
    list.push_back(column);
  }
  TableWriter writer(outcome.name, list, outputs);
  std::vector<std::optional<std::u16string>> row(list.size());
  Fp7TableRows rows(tableId, [&](uint64_t, const Fp7Record& record) {
    std::fill(row.begin(), row.end(), std::nullopt);
    for (const auto& [column, field] : record.fields) {
      const auto slot = slotOf.find(column);
      if (slot != slotOf.end()) row[slot->second] = DecodeFp7Text(field.Bytes());
    }
    writer.AddRow(row);
  });

  std::vector<Fp7PageRange> order = table.recordPages;
  std::sort(order.begin(), order.end(), [](const Fp7PageRange& a, const Fp7PageRange& b) {
    return a.firstId != b.firstId ? a.firstId < b.firstId : a.page < b.page;
  });
  for (const Fp7PageRange& page : order) {
    if (StopRequested()) {
      writer.Discard();
      return false;
    }
    rows.BeginPage(page.page, page.firstId);
    DecodeFp7Page(pages.Page(page.page), rows);
    progress.Advance();
  }
  rows.Finish();
  outcome.conflicts = rows.Conflicts();
  outcome.summary = writer.Finish();
  return true;
}

// The stream an object's content is in: the first that is neither its name nor its sizes.
const LongValue* ContentOf(const Fp7StoredObject& object, std::string& type) {
  for (const auto& [name, stream] : object.streams) {
    if (name != "FNAM" && name != "SIZE") {
      type = name;
      return &stream;
    }
  }
  return nullptr;
}

// The extension a content stream's type suggests, for objects without a stored name.
std::u16string ExtensionOf(std::string type) {
  static const std::map<std::string, const char16_t*> kKnown = {
      {"JPEG", u".jpg"}, {"PNGf", u".png"}, {"GIFf", u".gif"},  {"BMPf", u".bmp"},
      {"PDF ", u".pdf"}, {"TIFF", u".tif"}, {"PICT", u".pict"}, {"FILE", u".bin"}};
  const auto known = kKnown.find(type);
  return known != kKnown.end() ? known->second : u".bin";
}

// The third pass: the pages of stored objects, in the order of their object ids; each object with
// content becomes a file. False when the host asked to stop.
bool WriteStoredFiles(SourcePages& pages, const std::vector<Fp7PageRange>& objectPages,
                      RunOutputs& outputs, uint64_t limit, StoredFiles& written) {
  uint64_t bytesWritten = 0;
  Fp7StoredObjects objects([&](uint64_t id, const Fp7StoredObject& object) {
    std::string type;
    const LongValue* content = ContentOf(object, type);
    if (content == nullptr || written.cut) return;
    const std::vector<uint8_t> bytes = content->Bytes();
    if (bytes.empty()) return;
    if (bytesWritten + bytes.size() > limit) {
      g_Log.LogFormat(
          "Stored files reached their limit of %llu bytes; object %llu and those after "
          "it are not written",
          static_cast<unsigned long long>(limit), static_cast<unsigned long long>(id));
      written.cut = true;
      return;
    }
    const auto reference = object.streams.find("FNAM");
    std::u16string name =
        reference != object.streams.end() ? StoredFileName(reference->second.Bytes()) : u"";
    if (name.empty()) name = Numbered("object_", id) + ExtensionOf(type);
    const std::u16string file = outputs.StoreObject(name, bytes);
    if (file.empty()) {
      written.anyFailed = true;
      return;
    }
    bytesWritten += bytes.size();
    written.names.push_back(file);
    g_Log.LogFormat("Stored object %llu written as %s", static_cast<unsigned long long>(id),
                    Narrow(file).c_str());
  });
  std::vector<Fp7PageRange> order = objectPages;
  std::sort(order.begin(), order.end(), [](const Fp7PageRange& a, const Fp7PageRange& b) {
    return a.firstId != b.firstId ? a.firstId < b.firstId : a.page < b.page;
  });
  for (const Fp7PageRange& page : order) {
    if (StopRequested()) return false;
    objects.BeginPage(page.firstId);
    DecodeFp7Page(pages.Page(page.page), objects);
  }
  objects.Finish();
  return true;
}

uint64_t RecordPageCount(const std::map<uint64_t, Fp7Table>& tables) {
  uint64_t count = 0;
  for (const auto& [id, table] : tables) count += table.recordPages.size();
  return count;
}

// Tables worth a report entry: those in the catalogue, and those whose records survive.
bool IsReported(const Fp7Table& table) {
  return table.inCatalogue || !table.recordPages.empty();
}

}  // namespace

int32_t RecoverFp7(qrx::platform::File& source, uint64_t size, const std::u16string& sourceName,
                   const std::u16string& targetDir, const Options& options) {
  g_Log.LogLine("Deep recovery of an fp7 file");
  SourcePages pages(source, size, kPageSize);
  g_StatusLink.WDiag(DoneText);
  g_StatusLink.NextPass(Pass2Text);
  Index index;
  if (!IndexPages(pages, index)) return kResultBreak;

  std::vector<std::pair<uint64_t, const Fp7Table*>> tables;
  for (const auto& [id, table] : index.catalogue.Tables()) {
    if (IsReported(table)) tables.emplace_back(id, &table);
  }
  if (RecordPageCount(index.catalogue.Tables()) == 0 && index.catalogue.ObjectPages().empty()) {
    g_Log.LogLine("No records found");
    return kResultNothing;
  }
  RunOutputs outputs(targetDir, sourceName, options);
  if (!outputs.Start()) return kResultWriteFailed;

  g_StatusLink.WDiag(DoneText);
  g_StatusLink.NextPass(Pass3Text);
  Progress progress(u"Writing row data...", RecordPageCount(index.catalogue.Tables()), kTablesFrom,
                    kTablesTo);
  std::vector<TableOutcome> outcomes;
  bool anyWritten = false;
  bool anyFailed = false;
  for (const auto& [id, table] : tables) {
    TableOutcome outcome;
    outcome.name = TableName(id, *table);
    if (!WriteTable(pages, id, *table, outputs, progress, outcome)) return kResultBreak;
    anyWritten = anyWritten || outcome.summary.written;
    anyFailed = anyFailed || outcome.summary.writeFailed;
    g_Log.LogFormat("Table \"%s\": %u rows, %u conflicts", Narrow(outcome.name).c_str(),
                    outcome.summary.rows, outcome.conflicts);
    outputs.NoteTable(outcome);
    outcomes.push_back(std::move(outcome));
  }
  StoredFiles stored;
  if (!WriteStoredFiles(pages, index.catalogue.ObjectPages(), outputs,
                        kStoredBytesPerSourceByte * size, stored)) {
    return kResultBreak;
  }
  g_StatusLink.WDiag(DoneText);
  g_StatusLink.SBar(100);
  Report(outcomes, stored, index.dataPages, index.damagedPages);
  const bool databaseWritten = outputs.Finish();
  if (anyFailed || stored.anyFailed || !databaseWritten) return kResultWriteFailed;
  return anyWritten || !stored.names.empty() ? kResultOk : kResultNothing;
}

}  // namespace deep
