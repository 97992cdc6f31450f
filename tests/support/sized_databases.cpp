#include "support/sized_databases.h"

#include <string>

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
