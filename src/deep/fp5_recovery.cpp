#include "deep/fp5_recovery.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "deep/fp5_block.h"
#include "deep/fp5_catalogue.h"
#include "deep/fp5_columns.h"
#include "deep/fp5_records.h"
#include "deep/fp5_text.h"
#include "deep/progress.h"
#include "deep/recovery_report.h"
#include "deep/run_outputs.h"
#include "deep/source_pages.h"
#include "deep/stop_request.h"
#include "deep/table_file_names.h"
#include "deep/table_writer.h"
#include "diag/log.h"
#include "diag/result_codes.h"
#include "diag/status_link.h"
#include "diag/status_texts.h"
#include "platform/text.h"

namespace deep {
namespace {

// Block n lies at file offset (n + 1) * 1024; the file header and an unused kilobyte come first.
constexpr uint64_t kFirstBlock = 1;
// The first pass takes the progress from 10 to 50 percent, the second on to 99.
constexpr int32_t kIndexFrom = 10;
constexpr int32_t kRowsFrom = 50;
constexpr int32_t kRowsTo = 99;

std::span<const uint8_t> Block(SourcePages& pages, uint64_t number) {
  return pages.Page(number + 1);
}

// A value's text, decoded where it lies when it is stored whole.
std::u16string TextOf(const Fp5Value& value) {
  return value.pieces.empty() ? DecodeMacRoman(value.whole) : DecodeMacRoman(value.Bytes());
}

// The first pass: every block once.
struct Index {
  Fp5Catalogue catalogue;
  uint64_t dataBlocks = 0;
  uint64_t damagedBlocks = 0;
  uint64_t indexBlocks = 0;
  uint64_t deletedBlocks = 0;
  uint64_t emptyBlocks = 0;
};

bool IndexBlocks(SourcePages& pages, Index& index) {
  // Block n is page n + 1 of the file.
  const uint64_t end = pages.PageCount() > kFirstBlock + 1 ? pages.PageCount() - 1 : 0;
  Progress progress(u"Reading blocks...", end, kIndexFrom, kRowsFrom);
  for (uint64_t number = kFirstBlock; number < end; ++number) {
    if (StopRequested()) return false;
    index.catalogue.BeginBlock(number);
    const BlockOutcome outcome = DecodeFp5Block(Block(pages, number), index.catalogue);
    index.catalogue.EndBlock(outcome);
    switch (outcome.kind) {
      case BlockKind::kData:
        ++index.dataBlocks;
        break;
      case BlockKind::kIndex:
        ++index.indexBlocks;
        break;
      case BlockKind::kDeleted:
        ++index.deletedBlocks;
        break;
      case BlockKind::kEmpty:
        ++index.emptyBlocks;
        break;
    }
    if (outcome.damaged) {
      ++index.damagedBlocks;
      g_Log.LogFormat("Block %llu damaged at byte %u: %s; nothing of it is used",
                      static_cast<unsigned long long>(number), outcome.stoppedAt, outcome.why);
    }
    progress.Advance();
  }
  g_Log.LogFormat(
      "Blocks read: %llu with data, %llu index, %llu deleted, %llu empty; %llu damaged; the "
      "record list names %llu records",
      static_cast<unsigned long long>(index.dataBlocks),
      static_cast<unsigned long long>(index.indexBlocks),
      static_cast<unsigned long long>(index.deletedBlocks),
      static_cast<unsigned long long>(index.emptyBlocks),
      static_cast<unsigned long long>(index.damagedBlocks),
      static_cast<unsigned long long>(index.catalogue.ListedRecords()));
  return true;
}

// The second pass; false when the host asked to stop (nothing of the table is left).
bool WriteRows(SourcePages& pages, const Fp5Catalogue& catalogue, RunOutputs& outputs,
               TableOutcome& outcome) {
  const std::vector<Fp5Column> columns = Fp5Columns(catalogue);
  outcome.columns = columns.size();
  outcome.damagedUnits = catalogue.DamagedRecordBlocks();
  outcome.unit = "block";
  g_Log.LogFormat("Table \"%s\": %zu columns, records on %zu blocks",
                  ToNarrow(outcome.name).c_str(), columns.size(), catalogue.RecordBlocks().size());

  std::vector<TableColumn> list;
  std::map<Fp5Slot, size_t> slotOf;
  for (const Fp5Column& column : columns) {
    slotOf.emplace(column.slot, list.size());
    list.push_back(column.column);
  }
  TableWriter writer(outcome.name, list, outputs);
  std::vector<std::optional<std::u16string>> row(list.size());
  Fp5Records records([&](uint64_t, const Fp5Record& record) {
    std::fill(row.begin(), row.end(), std::nullopt);
    for (const auto& [slot, value] : record.values) {
      const auto found = slotOf.find(slot);
      if (found != slotOf.end()) row[found->second] = TextOf(value);
    }
    // A record left with values of no column (repetitions beyond the definition) is no row.
    if (std::any_of(row.begin(), row.end(), [](const auto& value) { return value.has_value(); })) {
      writer.AddRow(row);
    }
  });

  std::vector<Fp5RecordBlock> order = catalogue.RecordBlocks();
  std::sort(order.begin(), order.end(), [](const Fp5RecordBlock& a, const Fp5RecordBlock& b) {
    return a.firstId != b.firstId ? a.firstId < b.firstId : a.block < b.block;
  });
  Progress progress(u"Writing row data...", order.size(), kRowsFrom, kRowsTo);
  for (const Fp5RecordBlock& block : order) {
    if (StopRequested()) {
      writer.Discard();
      return false;
    }
    records.BeginBlock(block.block, block.firstId);
    DecodeFp5Block(Block(pages, block.block), records);
    progress.Advance();
  }
  records.Finish();
  outcome.conflicts = records.Conflicts();
  outcome.summary = writer.Finish();
  return true;
}

}  // namespace

int32_t RecoverFp5(qrx::platform::File& source, uint64_t size, const std::u16string& sourceName,
                   const std::u16string& targetDir, const Options& options) {
  g_Log.LogLine("Deep recovery of an fp5 file");
  SourcePages pages(source, size, kFp5BlockSize);
  g_StatusLink.WDiag(DoneText);
  g_StatusLink.NextPass(Pass2Text);
  Index index;
  if (!IndexBlocks(pages, index)) return kResultBreak;
  if (index.catalogue.RecordBlocks().empty()) {
    g_Log.LogLine("No records found");
    return kResultNothing;
  }
  RunOutputs outputs(targetDir, sourceName, options);
  if (!outputs.Start()) return kResultWriteFailed;

  g_StatusLink.WDiag(DoneText);
  g_StatusLink.NextPass(Pass3Text);
  TableOutcome outcome;
  outcome.name = SourceStem(sourceName);
  if (!WriteRows(pages, index.catalogue, outputs, outcome)) return kResultBreak;
  g_Log.LogFormat("Table \"%s\": %u rows, %u conflicts", ToNarrow(outcome.name).c_str(),
                  outcome.summary.rows, outcome.conflicts);
  outputs.NoteTable(outcome);
  const bool databaseWritten = outputs.Finish();
  g_StatusLink.WDiag(DoneText);
  g_StatusLink.SBar(100);
  ReportTables({outcome}, index.dataBlocks, index.damagedBlocks);
  if (outcome.summary.writeFailed || !databaseWritten) return kResultWriteFailed;
  return outcome.summary.written ? kResultOk : kResultNothing;
}

}  // namespace deep
