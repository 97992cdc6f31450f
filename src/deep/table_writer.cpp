#include "deep/table_writer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "dbf/dbase3_memo_file.h"
#include "dbf/dbf_header.h"
#include "dbf/result_file.h"
#include "deep/field_names.h"
#include "deep/run_outputs.h"
#include "deep/table_file_names.h"
#include "diag/log.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/text.h"

namespace platform = qrx::platform;
using namespace dbf_layout;

namespace deep {
namespace {

constexpr uint32_t kLargestRecordLength = UINT16_MAX;
// The header length is 16 bits: 32 bytes, 32 per field, the terminator.
constexpr size_t kMostFields = (UINT16_MAX - kHeaderSize - 1) / kDescriptorSize;
constexpr uint32_t kAbsent = 0;  // spool tag of a missing value; others are the length + 1
// Decimal digits a double always gives back as they were.
constexpr size_t kDigitsKept = 15;

// Whether a column's values are spooled encoded, as their text field takes them; the others
// (numbers, dates) are spooled as UTF-16 text, which their N or D field reads again.
bool SpoolsText(ColumnKind kind) {
  return kind != ColumnKind::kNumber && kind != ColumnKind::kDate;
}

bool HasMoreDigitsThanKept(std::u16string_view value) {
  size_t digits = 0;
  for (const char16_t c : value) {
    if ((c >= u'1' && c <= u'9') || (c == u'0' && digits > 0)) ++digits;
  }
  return digits > kDigitsKept;
}

std::u16string_view WithoutFolder(const std::u16string& path) {
  return std::u16string_view(path).substr(path.find_last_of(platform::kPathSeparator) + 1);
}

}  // namespace

struct TableWriter::Field {
  FieldPlan plan;
  std::string name;
};

// The files of the table while they are written.
class TableWriter::Output {
 public:
  ResultFile dbf;
  Dbase3MemoFile dbt;
  ResultFile cpg;
  bool hasMemo = false;
  std::vector<std::u16string> committed;  // final paths, removed again when a later step fails

  // The failure of whichever file failed first.
  std::string Failure() const {
    for (const ResultFile* file : {&dbt.File(), &cpg, &dbf}) {
      if (file->Failed()) return file->Failure();
    }
    return "";
  }
  // The memo file and the code page file first, the table last: a table that looks finished has
  // all its files.
  bool Commit() {
    if (hasMemo && !Keep(dbt.Commit(), dbt.File())) return false;
    return Keep(cpg.Commit(), cpg) && Keep(dbf.Commit(), dbf);
  }
  void Discard() {
    dbf.Discard();
    dbt.Discard();
    cpg.Discard();
    for (const std::u16string& path : committed) platform::DeleteFile(path);
    committed.clear();
  }

 private:
  bool Keep(bool ok, const ResultFile& file) {
    if (ok) committed.push_back(file.FinalPath());
    return ok;
  }
};

TableWriter::TableWriter(std::u16string tableName, std::vector<TableColumn> columns,
                         RunOutputs& outputs)
    : folder_(outputs.Folder()),
      tableName_(std::move(tableName)),
      columns_(std::move(columns)),
      encoding_(outputs.options().encoding),
      outputs_(outputs),
      exactText_(columns_.size(), false) {
  for (const TableColumn& column : columns_) stats_.emplace_back(column.kind);
  const uint32_t formats = outputs.options().formats;
  if (formats == 0) return;
  base_ = TableBaseName(folder_, tableName_);
  if (base_.empty()) {
    Fail(ToNarrow(folder_) + ": the target folder leaves no room for a file name");
  } else if (WritesDbase() && !spool_.Create(folder_, base_)) {
    Fail(spool_.Failure());
  } else if ((formats & ~kDbase) != 0 && !unicodeSpool_.Create(folder_, base_)) {
    Fail(unicodeSpool_.Failure());
  }
}

bool TableWriter::WritesDbase() const {
  return (outputs_.options().formats & kDbase) != 0;
}

TableWriter::~TableWriter() {
  Discard();
}

bool TableWriter::Fail(const std::string& what) {
  if (!failed_) {
    failed_ = true;
    g_Log.LogFormat("Table %s: can't write %s", ToNarrow(tableName_).c_str(), what.c_str());
  }
  spool_.Remove();
  unicodeSpool_.Remove();
  return false;
}

bool TableWriter::AddRow(std::span<const std::optional<std::u16string>> values) {
  if (failed_ || done_) return false;
  if (summary_.rows == UINT32_MAX) return Fail(ToNarrow(tableName_) + ": too many rows");
  const bool dbase = WritesDbase();
  const bool unicode = (outputs_.options().formats & ~kDbase) != 0;
  for (size_t i = 0; i < columns_.size(); ++i) {
    const std::optional<std::u16string>* value = i < values.size() ? &values[i] : nullptr;
    if (value == nullptr || !value->has_value()) {
      if (dbase && !spool_.Write(&kAbsent, sizeof kAbsent)) return Fail(spool_.Failure());
      if (unicode && !unicodeSpool_.Write(&kAbsent, sizeof kAbsent)) {
        return Fail(unicodeSpool_.Failure());
      }
      continue;
    }
    const std::u16string& text = **value;
    encoded_.clear();
    const uint32_t notEncoded = AppendEncoded(text, encoding_, encoded_);
    stats_[i].Add(text, encoded_.size());
    const bool spoolsText = SpoolsText(columns_[i].kind);
    if (spoolsText && dbase) summary_.charactersNotEncoded += notEncoded;
    if (columns_[i].kind == ColumnKind::kNumber && HasMoreDigitsThanKept(text)) {
      exactText_[i] = true;
    }
    if (dbase) {
      const size_t length = spoolsText ? encoded_.size() : text.size();
      const uint32_t tag = static_cast<uint32_t>(length) + 1;
      if (!spool_.Write(&tag, sizeof tag) ||
          !(spoolsText ? spool_.Write(encoded_.data(), length)
                       : spool_.Write(text.data(), length * sizeof(char16_t)))) {
        return Fail(spool_.Failure());
      }
    }
    if (unicode) {
      const uint32_t tag = static_cast<uint32_t>(text.size()) + 1;
      if (!unicodeSpool_.Write(&tag, sizeof tag) ||
          !unicodeSpool_.Write(text.data(), text.size() * sizeof(char16_t))) {
        return Fail(unicodeSpool_.Failure());
      }
    }
  }
  ++summary_.rows;
  return true;
}

uint8_t TableWriter::DateOrders() const {
  uint8_t orders = kEitherOrder;
  for (const ColumnStats& stats : stats_) {
    if (stats.DateOrders() != 0) orders &= stats.DateOrders();
  }
  return orders;
}

bool TableWriter::DatesUndecided() const {
  return DateOrders() == kEitherOrder &&
         std::any_of(stats_.begin(), stats_.end(), [](const auto& s) { return s.DateOrders(); });
}

std::vector<TableWriter::Field> TableWriter::PlanFields(uint8_t tableOrders) const {
  std::vector<std::u16string> names;
  for (const TableColumn& column : columns_) names.push_back(column.name);
  const std::vector<std::string> fieldNames = DbfFieldNames(names);
  std::vector<Field> fields;
  uint32_t recordLength = 1;
  for (size_t i = 0; i < columns_.size(); ++i) {
    fields.push_back({stats_[i].Plan(tableOrders), fieldNames[i]});
    recordLength += fields.back().plan.width;
  }
  // A record longer than its 16-bit length moves its widest texts to the memo file.
  while (recordLength > kLargestRecordLength) {
    const auto textWidth = [](const Field& f) { return f.plan.type == 'C' ? f.plan.width : 0; };
    FieldPlan& widest = std::max_element(fields.begin(), fields.end(), [&](auto& a, auto& b) {
                          return textWidth(a) < textWidth(b);
                        })->plan;
    recordLength -= widest.width - kMemoPointerWidth;
    widest.type = 'M';
    widest.width = kMemoPointerWidth;
  }
  return fields;
}

TableSummary TableWriter::Finish(uint8_t fileOrders) {
  if (done_) return summary_;
  // No format has a table without columns: nothing is written, and nothing has failed.
  if (columns_.empty()) {
    g_Log.LogFormat("Table %s: no columns, no files", ToNarrow(tableName_).c_str());
    Discard();
    return summary_;
  }
  if (!failed_ && WritesDbase() && columns_.size() > kMostFields) {
    Fail(ToNarrow(tableName_) + ": more columns than a dBase header can describe");
  }
  if (!failed_ && WritesDbase() && !spool_.StartReading()) Fail(spool_.Failure());
  if (!failed_) {
    uint8_t tableOrders = DateOrders();
    if (tableOrders == kEitherOrder && (fileOrders == kDayFirst || fileOrders == kMonthFirst)) {
      tableOrders = fileOrders;
    }
    const std::vector<Field> fields = PlanFields(tableOrders);
    const auto tableOrder =
        static_cast<DayMonthOrder>(tableOrders == 0 ? uint8_t{kEitherOrder} : tableOrders);
    for (size_t i = 0; i < fields.size(); ++i) {
      const FieldPlan& plan = fields[i].plan;
      summary_.fieldNames.push_back(fields[i].name);
      summary_.fieldTypes.push_back(plan.type);
      summary_.valuesNotTyped += plan.valuesNotTyped;
      summary_.columns.push_back(
          {columns_[i].name, {columns_[i].kind, plan, tableOrder}, exactText_[i]});
      g_Log.LogFormat("Table %s: column \"%s\" -> field %s %c(%u,%u)%s%s",
                      ToNarrow(tableName_).c_str(), ToNarrow(columns_[i].name).c_str(),
                      fields[i].name.c_str(), plan.type, plan.width, plan.decimals,
                      *plan.whyText != '\0' ? ": text, since " : "", plan.whyText);
    }
    const uint32_t formats = outputs_.options().formats;
    summary_.written = (!WritesDbase() || WriteTable(fields)) &&
                       ((formats & ~kDbase) == 0 || WriteUnicode(summary_.columns));
  }
  spool_.Remove();
  unicodeSpool_.Remove();
  done_ = true;
  summary_.writeFailed = failed_;
  if (failed_) {
    for (const std::u16string& file : summary_.files) platform::DeleteFile(folder_ + file);
    summary_.written = false;
    summary_.files.clear();
  }
  return summary_;
}

bool TableWriter::WriteUnicode(const std::vector<OutputColumn>& columns) {
  if (!unicodeSpool_.StartReading()) return Fail(unicodeSpool_.Failure());
  std::vector<std::unique_ptr<TableOutput>> outputs = outputs_.UnicodeOutputs(tableName_, base_);
  const auto failure = [&] {
    for (const auto& output : outputs) output->Discard();
    for (const auto& output : outputs) {
      if (!output->Failure().empty()) return output->Failure();
    }
    return unicodeSpool_.Failure();
  };
  for (const auto& output : outputs) {
    if (!output->Begin(columns)) return Fail(failure());
  }
  std::vector<std::optional<std::string>> row(columns.size());
  std::u16string value;
  for (uint32_t n = 0; n < summary_.rows; ++n) {
    for (size_t i = 0; i < columns.size(); ++i) {
      uint32_t tag = kAbsent;
      if (!unicodeSpool_.Read(&tag, sizeof tag)) return Fail(failure());
      value.resize(tag == kAbsent ? 0 : tag - 1);
      if (!unicodeSpool_.Read(value.data(), value.size() * sizeof(char16_t))) {
        return Fail(failure());
      }
      row[i] = tag == kAbsent ? std::nullopt : TypedText(value, columns[i].typed);
    }
    for (const auto& output : outputs) {
      if (!output->AddRow(row)) return Fail(failure());
    }
  }
  for (const auto& output : outputs) {
    if (!output->End(summary_.files)) return Fail(failure());
  }
  return true;
}

bool TableWriter::WriteTable(const std::vector<Field>& fields) {
  Output output;
  output.hasMemo = std::any_of(fields.begin(), fields.end(),
                               [](const Field& field) { return field.plan.type == 'M'; });
  const std::u16string base = FreeTableBase(folder_, base_);
  const std::u16string dbfPath = folder_ + base + u".dbf";
  const std::u16string dbtPath = folder_ + base + u".dbt";
  const std::u16string cpgPath = folder_ + base + u".cpg";

  uint32_t recordLength = 1;
  for (const Field& field : fields) recordLength += field.plan.width;
  uint8_t header[kHeaderSize];
  FillTableHeader(header, output.hasMemo ? kVersionWithDbase3Memo : kVersionPlain, summary_.rows,
                  static_cast<uint32_t>(fields.size()), recordLength);
  StampToday(header);
  header[kLanguageDriverOffset] = LanguageDriver(encoding_);
  bool ok = output.dbf.Create(dbfPath) && output.dbf.Append(header, sizeof header) &&
            (!output.hasMemo || output.dbt.Create(dbtPath));
  for (size_t i = 0; ok && i < fields.size(); ++i) {
    uint8_t descriptor[kDescriptorSize];
    FillFieldDescriptor(descriptor, fields[i].name, fields[i].plan.type, fields[i].plan.width,
                        fields[i].plan.decimals);
    ok = output.dbf.Append(descriptor, sizeof descriptor);
  }
  ok = ok && output.dbf.Append(&kHeaderTerminator, 1) && WriteRecords(fields, output) &&
       output.dbf.Append(&kEndOfFile, 1);
  const std::string_view codePage = CodePageFileText(encoding_);
  ok = ok && output.cpg.Create(cpgPath) && output.cpg.Append(codePage.data(), codePage.size()) &&
       output.Commit();
  if (!ok) {
    const std::string failure = output.Failure();
    output.Discard();
    return Fail(!failure.empty() ? failure
                : !spool_.Failure().empty()
                    ? spool_.Failure()
                    : ToNarrow(dbtPath) + ": more memo blocks than it can number");
  }
  for (const std::u16string& path : output.committed) {
    summary_.files.emplace_back(WithoutFolder(path));
  }
  g_Log.LogFormat("Table %s: %u rows written to %s", ToNarrow(tableName_).c_str(), summary_.rows,
                  ToNarrow(dbfPath).c_str());
  return true;
}

bool TableWriter::WriteRecords(const std::vector<Field>& fields, Output& output) {
  const size_t recordLength = 1 + [&] {
    size_t sum = 0;
    for (const Field& field : fields) sum += field.plan.width;
    return sum;
  }();
  std::string record;
  std::u16string value;
  std::string text;
  for (uint32_t row = 0; row < summary_.rows; ++row) {
    record.assign(recordLength, kBlank);
    size_t at = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
      const FieldPlan& plan = fields[i].plan;
      uint32_t tag = kAbsent;
      if (!spool_.Read(&tag, sizeof tag)) return false;
      const size_t length = tag == kAbsent ? 0 : tag - 1;
      text.clear();
      if (SpoolsText(columns_[i].kind)) {
        text.resize(length);
        if (!spool_.Read(text.data(), length)) return false;
      } else {
        value.resize(length);
        if (!spool_.Read(value.data(), length * sizeof(char16_t))) return false;
        if (tag == kAbsent || ((plan.type == 'N' || plan.type == 'D') && IsBlankValue(value))) {
          // no value: the field stays blank
        } else if (plan.type == 'N') {
          const std::optional<DecimalNumber> number = ReadNumber(value, plan.mark);
          if (number) number->AppendFormatted(plan.decimals, text);
          text.insert(0, plan.width - std::min<size_t>(plan.width, text.size()), kBlank);
        } else if (plan.type == 'D') {
          text = DateDigits(value, plan.order).value_or("");
        } else {
          summary_.charactersNotEncoded += AppendEncoded(value, encoding_, text);
        }
      }
      if (plan.type == 'C' || plan.type == 'M') {
        if (text.find(static_cast<char>(kEndOfFile)) != std::string::npos) {
          std::replace(text.begin(), text.end(), static_cast<char>(kEndOfFile), kBlank);
          ++summary_.endOfFileBytesReplaced;
        }
        if (plan.type == 'M' && !text.empty()) {
          const std::optional<uint32_t> block = output.dbt.Append(text);
          if (!block) return false;
          // The block number right-aligned, as "%10u" writes it (ten digits hold any).
          text.assign(kMemoPointerWidth, kBlank);
          auto digit = text.end();
          for (uint32_t number = *block;; number /= 10) {
            *--digit = static_cast<char>('0' + number % 10);
            if (number < 10) break;
          }
        }
      }
      std::copy_n(text.begin(), std::min<size_t>(text.size(), plan.width), record.begin() + at);
      at += plan.width;
    }
    if (!output.dbf.Append(record.data(), record.size())) return false;
  }
  return true;
}

void TableWriter::Discard() {
  if (done_) return;
  done_ = true;
  spool_.Remove();
  unicodeSpool_.Remove();
}

}  // namespace deep
