#include "support/crafted_databases.h"

#include <string>

#include "support/fp5_builder.h"
#include "support/fp7_builder.h"

namespace {

constexpr uint32_t kWideColumns = 250;
const std::string kWideValue(250, 'w');

}  // namespace

std::vector<uint8_t> Fp7WideRecordThenNarrowOnes(size_t narrowRecords) {
  fp7::Table table{129, "Wide", false, {}, {}, {}};
  fp7::Record wide{1, {}};
  for (uint32_t c = 1; c <= kWideColumns; ++c) {
    table.columns.push_back({c, std::string("Col").append(std::to_string(c))});
    wide.fields.push_back({c, kWideValue});
  }
  table.records.push_back(wide);
  for (uint32_t id = 2; id < narrowRecords + 2; ++id) table.records.push_back({id, {{1, "s"}}});
  return fp7::BuildDatabase({table});
}

std::vector<uint8_t> Fp5WideRecordsThenNarrowOnes(size_t narrowRecords) {
  using namespace fp5build;
  // A record must fit one block, so each wide record fills one column; the definitions of more
  // columns would not fit theirs.
  constexpr uint8_t kFp5WideColumns = 90;
  std::vector<Fp5Column> columns;
  std::vector<Fp5Record> records;
  for (uint8_t c = 1; c <= kFp5WideColumns; ++c) {
    columns.push_back({c, std::string("Col").append(std::to_string(c))});
    records.push_back({Fp5Id::Auto(c), {Fp5Field::Value(c, kWideValue)}});
  }
  for (size_t id = kFp5WideColumns + 1; id <= kFp5WideColumns + narrowRecords; ++id) {
    records.push_back({Fp5Id::Auto(static_cast<uint16_t>(id)), {Fp5Field::Value(1, "s")}});
  }
  Fp5FileBuilder file;
  file.AddDefinitions({}, columns).AddRecords(records);
  return file.Build();
}

std::vector<uint8_t> Fp7StoredPiecesFarOut(size_t objects) {
  const std::vector<fp7::Table> tables = fp7::SampleTables(1, 2);
  fp7::PageWriter out;
  fp7::WriteTableCatalogue(out, tables);
  fp7::WriteColumns(out, tables[0]);
  fp7::WriteRecords(out, tables[0]);
  out.Push(tables[0].id).Push(31).Push(5);
  for (uint32_t id = 1; id <= objects; ++id) {
    out.Push(id).NamedValue("FNAM",
                            fp7::FileReference(std::string("f").append(std::to_string(id))));
    out.PushName("FILE").Value(100, fp7::Bytes{1}).Pop(2);
  }
  out.Pop(3);
  return fp7::MakeFile(out.Pages());
}
