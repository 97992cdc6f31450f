#include "support/paged_databases.h"

#include <string>

#include "support/fp5_builder.h"
#include "support/fp7_builder.h"

namespace {

// Blocks under a key the recovery never looks for, filling most of an fp5 data area.
fp5build::Bytes Fp5IdleArea(size_t page) {
  fp5build::Bytes area;
  for (size_t block = 0; area.size() + 40 < fp5build::kDataAreaSize; ++block) {
    const std::string text = "Layout " + std::to_string(page) + " part " + std::to_string(block);
    area.insert(area.end(), {0xC1, 0x09, static_cast<uint8_t>(text.size())});
    area.insert(area.end(), text.begin(), text.end());
    area.push_back(0xC0);
  }
  return area;
}

// Texts under a path no table uses (17/page), filling most of an fp7 data area.
fp7::Bytes Fp7IdleArea(size_t page) {
  fp7::ChunkWriter out;
  out.Push(17).Push(static_cast<uint32_t>(page + 1));
  for (uint32_t key = 1; out.bytes().size() < 3000; ++key) {
    out.Text(key, "Script step " + std::to_string(key) + " of layout " + std::to_string(page));
  }
  out.Pop(2);
  return out.bytes();
}

}  // namespace

PagedDatabase Fp5WithIdlePages() {
  using namespace fp5build;
  Fp5FileBuilder file;
  PagedDatabase db{{}, {kPageSize, kStartSize}, {}, 30};
  const auto mark = [&](bool facts) { db.holdsFacts.resize(file.PageCount(), facts); };
  const auto idle = [&] {
    file.AddPage(Fp5IdleArea(file.PageCount()));
    mark(false);
  };
  idle();
  file.AddDefinitions({{3, {2}}}, {{1, "Name"}, {2, "Born"}, {3, "Notes"}});
  mark(true);
  idle();
  for (uint16_t first = 1; first <= db.recordCount; first += 10) {
    std::vector<Fp5Record> rows;
    for (uint16_t id = first; id < first + 10; ++id) {
      const std::string n = std::to_string(id);
      rows.push_back({Fp5Id::Auto(id),
                      {Fp5Field::Value(1, "name " + n), Fp5Field::Value(2, "5.1.1999"),
                       Fp5Field::LongText(3, {"notes on " + n + std::string(40, '-'), " end"})}});
    }
    file.AddRecords(rows);
    mark(true);
    idle();
  }
  db.bytes = file.Build();
  return db;
}

PagedDatabase Fp7WithIdlePages() {
  std::vector<fp7::Table> tables = fp7::SampleTables(1, 24);
  tables.push_back(fp7::SampleTables(2, 10)[1]);
  tables[1].records[0].fields[2].second = std::string(1500, 'L');  // a long value in pieces
  tables[0].containers = {{1, "photo.jpg", fp7::Bytes(1500, 0xAB)}, {2, "notes.txt", {'n', 'b'}}};
  tables[1].containers = {{1, "photo.jpg", fp7::Bytes(700, 0xCD)}};
  PagedDatabase db{{}, {fp7::kPageSize, fp7::kFileStart}, {}, 24 + 10};
  std::vector<fp7::Bytes> areas;
  const auto idle = [&] {
    areas.push_back(Fp7IdleArea(areas.size()));
    db.holdsFacts.push_back(false);
  };
  const auto facts = [&](const auto& write) {
    fp7::PageWriter out;
    write(out);
    for (fp7::Bytes& area : out.Pages()) {
      areas.push_back(std::move(area));
      db.holdsFacts.push_back(true);
    }
  };
  idle();
  facts([&](fp7::PageWriter& out) { fp7::WriteTableCatalogue(out, tables); });
  for (const fp7::Table& table : tables) {
    idle();
    facts([&](fp7::PageWriter& out) {
      fp7::WriteColumns(out, table);
      fp7::WriteRecords(out, table);
      fp7::WriteContainers(out, table);
    });
  }
  idle();
  db.bytes = fp7::MakeFile(areas);
  return db;
}
