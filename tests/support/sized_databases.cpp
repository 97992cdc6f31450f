#include "support/sized_databases.h"

#include <algorithm>
#include <fstream>
#include <string>

#include "support/fp5_file_builder.h"
#include "support/temp_dir.h"

std::vector<fp7::Table> SizedFp7Tables(const Fp7Shape& shape) {
  const size_t perTable = shape.records / shape.tables;
  const size_t recordBytes = shape.megabytes * 1024 * 1024 / shape.records;
  const std::string padding(recordBytes > 60 ? recordBytes - 60 : 1, 'p');
  std::vector<fp7::Table> tables(shape.tables);
  for (size_t t = 0; t < shape.tables; ++t) {
    fp7::Table& table = tables[t];
    table.id = static_cast<uint32_t>(129 + t);
    table.name = "Table" + std::to_string(t + 1);
    table.columns = {{1, "Name", {1, 1}}, {2, "Amount", {1, 2}}, {3, "Note", {1, 1}}};
    table.records.reserve(perTable);
    for (size_t r = 0; r < perTable; ++r) {
      table.records.push_back({static_cast<uint32_t>(r + 1),
                               {{1, "Name " + std::to_string(r)},
                                {2, std::to_string(r * 7 % 1000)},
                                {3, padding + std::to_string(r)}}});
    }
  }
  return tables;
}

void WriteSizedFp7(const std::filesystem::path& path, const Fp7Shape& shape) {
  fp7::Bytes file =
      fp7::BuildDatabase(SizedFp7Tables(shape), fp7::kMaxPageData, fp7::IdForm::kAsWritten);
  const uint8_t header[] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x05,
                            0x00, 0x02, 0x00, 0x02, 0xC0, 'H',  'B',  'A',  'M',  '7'};
  std::copy(std::begin(header), std::end(header), file.begin());
  WriteFileBytes(path, file);
}

void WriteSizedFp5(const std::filesystem::path& path, size_t megabytes) {
  using namespace fp5file;
  const double blocks = static_cast<double>(megabytes * 1024 - kFirstBlockOffset / kBlockSize - 1);
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  FileWriter file(stream);
  size_t written = 0;
  BlockWriter out(kMaxPayload, [&](const Block& block) {
    file.Add(block);
    ++written;
  });
  Catalogue catalogue;
  catalogue.fields = {{1, "Name"}, {2, "Amount", kNumber}, {3, "Note"}};
  catalogue.order = {1, 2, 3};
  WriteFileMarker(out);
  WriteCatalogue(out, catalogue);
  const std::string padding(200, 'p');
  // The record-id list takes about 4 bytes per record of about 250.
  uint32_t records = 0;
  out.Push(5);
  while ((written + 1) * 1.02 < blocks) {
    ++records;
    WriteRecord(out, {records,
                      {{1, "Name " + std::to_string(records)},
                       {2, std::to_string(records * 7 % 1000)},
                       {3, padding + std::to_string(records)}}});
  }
  out.Pop().Push(0x0D);
  for (uint32_t id = 1; id <= records; ++id) out.Data(Vli(id));
  out.Pop();
  out.Flush();
  file.Finish();
}
