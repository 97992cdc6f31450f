// Writes the bundled sample database: a small fp7 file with several tables, made with the test
// builders and then damaged, the way a file that the database program refuses to open looks.
//
//   make_sample samples/damaged.fp7
//
// The output is the same on every run, so the committed sample can be made again and compared.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/fp7_builder.h"
#include "support/program_usage.h"

namespace {

using fp7::Bytes;

const char* const kCities[] = {"Berlin", "Lyon", "Porto", "Graz", "Oslo", "Turku", "Gent"};

std::string Paragraph(int seed, size_t length) {
  static const char* const kWords[] = {"delivery", "invoice",  "call",    "back",  "order",
                                       "account",  "visit",    "prefers", "email", "paid",
                                       "late",     "discount", "contact", "new",   "address"};
  std::string text;
  for (int i = 0; text.size() < length; ++i) {
    text += kWords[(seed * 7 + i * 3) % 15];
    text += (i % 9 == 8) ? ". " : " ";
  }
  text.resize(length);
  return text;
}

fp7::Table Customers() {
  fp7::Table table{129, "Customers", false, {}, {}, {}};
  table.columns = {{1, "Name", {1, 1}, fp7::ColumnDefinition(1, 1)},
                   {2, "City", {1, 1}, fp7::ColumnDefinition(1, 1)},
                   {3, "Balance", {1, 2}, fp7::ColumnDefinition(1, 2)},
                   {4, "Notes", {1, 1}, fp7::ColumnDefinition(1, 1)}};
  for (uint32_t id = 1; id <= 150; ++id) {
    fp7::Record record{id,
                       {{1, "Customer " + std::to_string(id)},
                        {2, kCities[id % 7]},
                        {3, std::to_string(id * 137 % 5000) + "." + std::to_string(id % 100)}}};
    // Some customers carry long notes: memo values in the result.
    if (id % 8 == 0) record.fields.push_back({4, Paragraph(static_cast<int>(id), 600)});
    // One note is long enough to span pages: its record occurs on two pages.
    if (id == 21) record.fields.push_back({4, Paragraph(21, 2600)});
    table.records.push_back(record);
  }
  return table;
}

fp7::Table Orders() {
  fp7::Table table{130, "Orders", false, {}, {}, {}};
  table.columns = {{1, "OrderNo", {1, 2}, fp7::ColumnDefinition(1, 2)},
                   {2, "Customer", {1, 1}, fp7::ColumnDefinition(1, 1)},
                   {3, "Total", {1, 2}, fp7::ColumnDefinition(1, 2)},
                   {4, "Status", {1, 1}, fp7::ColumnDefinition(1, 1)}};
  for (uint32_t id = 1; id <= 900; ++id) {
    table.records.push_back({id,
                             {{1, std::to_string(1000 + id)},
                              {2, "Customer " + std::to_string(id % 150 + 1)},
                              {3, std::to_string(id * 53 % 900) + ".50"}}});
    // Every tenth order was changed later: a second occurrence adds its status.
    if (id % 10 == 0) table.records.push_back({id, {{4, "shipped"}}});
  }
  return table;
}

fp7::Table Products() {
  fp7::Table table{131, "Products", false, {}, {}, {}};
  table.columns = {{1, "Product", {1, 1}, fp7::ColumnDefinition(1, 1)},
                   {2, "Price", {1, 2}, fp7::ColumnDefinition(1, 2)},
                   {3, "Sheet", {1, 1}, fp7::ColumnDefinition(1, 1)}};
  const char* const kNames[] = {"Chair", "Table", "Lamp", "Shelf", "Desk", "Stool"};
  for (uint32_t id = 1; id <= 6; ++id) {
    table.records.push_back(
        {id, {{1, kNames[id - 1]}, {2, std::to_string(20 + id * 15)}, {3, "see sheet"}}});
  }
  std::string sheet = "Product sheet\nChair  35\nTable  50\nLamp   65\nShelf  80\nDesk   95\n";
  while (sheet.size() < 2300) sheet += "Delivered flat-packed; assembly takes ten minutes.\n";
  table.containers.push_back({1, "product-sheet.txt", Bytes(sheet.begin(), sheet.end())});
  return table;
}

fp7::Table Archive() {
  // Columns defined, but no records survived.
  fp7::Table table{132, "Archive", false, {}, {}, {}};
  table.columns = {{1, "Year", {1, 2}, fp7::ColumnDefinition(1, 2)},
                   {2, "Box", {1, 1}, fp7::ColumnDefinition(1, 1)}};
  return table;
}

// Keeps the page's header and first chunks, then overwrites the rest of its data area with bytes
// no chunk starts with: the page's later records are lost, and the page counts as broken.
void DamageTail(Bytes& file, size_t page, size_t keep) {
  const size_t start = fp7::kFileStart + page * fp7::kPageSize + fp7::kHeaderSize + keep;
  const size_t end = fp7::kFileStart + (page + 1) * fp7::kPageSize;
  for (size_t i = start; i < end; ++i) file[i] = static_cast<uint8_t>(0xF0 + (i % 7));
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status = CheckUsage(
          argc, argv, 1,
          "usage: make_sample OUTPUT_FILE\n\nWrites the bundled sample database, a damaged fp7 "
          "file, to OUTPUT_FILE.\n")) {
    return *status;
  }
  const std::vector<fp7::Table> tables = {Customers(), Orders(), Products(), Archive()};
  // Ids and texts stored as the database program stores them.
  Bytes file = fp7::BuildDatabase(tables, 2400, fp7::IdForm::kAsWritten);
  const size_t pages = (file.size() - fp7::kFileStart) / fp7::kPageSize;
  DamageTail(file, pages / 2, 600);
  DamageTail(file, pages / 2 + 5, 1200);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  std::printf("%s: %zu pages of which 2 damaged\n", argv[1], pages);
  return out ? 0 : 1;
}
