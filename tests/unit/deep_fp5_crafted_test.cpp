// Deep recovery of fp5 files made with the real-format builder, for what the real sample lacks:
// every record key form, 2- to 5-byte record ids, long values in both piece forms, stale bytes
// behind the live length, the definitions after the records or lost, repeating fields, MacRoman
// text, records continued on the next block, shuffled and damaged blocks. Recovered through
// FileRecoverEx into real tables and read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/damage.h"
#include "support/dbf_reader.h"
#include "support/fp5_file_builder.h"
#include "support/recovery_sandbox.h"

namespace {

using namespace fp5file;

const damage::PagedLayout kBlocks{kBlockSize, kFirstBlockOffset};  // page 0 is the root block

Catalogue People() {
  Catalogue catalogue;
  catalogue.fields = {{1, "Name"},
                      {2, "Born", kDate},
                      {3, "Amount", kNumber},
                      {4, "Notes"},
                      {5, "Setting", kGlobal},
                      {6, "Total", kCalculation, false},
                      {100, "Code"},
                      {200, "Wide"}};
  catalogue.order = {3, 1, 2};  // the others follow by id
  return catalogue;
}

std::string Note(uint32_t id, size_t length) {
  std::string text = "note " + std::to_string(id) + ":";
  while (text.size() < length) text += " and more of " + std::to_string(id);
  text.resize(length);
  if (text.back() == ' ') text.back() = '.';  // a dBase field loses trailing blanks
  return text;
}

Record Person(uint32_t id) {
  return {id,
          {{1, "Name " + std::to_string(id)},
           {2, std::to_string(id % 15 + 13) + "/11/2004"},
           {3, std::to_string(id % 1000)},
           {4, Note(id, 40 + id % 500)}}};
}

std::vector<Record> People(uint32_t count) {
  std::vector<Record> records;
  for (uint32_t id = 1; id <= count; ++id) records.push_back(Person(id));
  return records;
}

std::string Trimmed(const std::string& text) {
  return text.substr(std::min(text.size(), text.find_first_not_of(' ')));
}

class DeepFp5Crafted : public testing::Test {
 protected:
  DeepFp5Crafted() : sandbox(true, {"CRAFTED.FP5", "target", "recovery.log"}) {
    Use(QRX_ENCODING_UTF8);
  }
  void Use(uint32_t encoding) { sandbox.UseOptions(DeepOptions(encoding)); }

  DbfTable Recovered(const Bytes& file) {
    EXPECT_EQ(sandbox.Recover(file), QRX_OK) << sandbox.Log();
    return ReadDbf(sandbox.target() / "CRAFTED.dbf");
  }
  DbfTable Recovered(const std::vector<Block>& blocks) { return Recovered(MakeFile(blocks)); }

  RecoverySandbox sandbox;
};

TEST_F(DeepFp5Crafted, EveryKeyFormAndRecordIdWidthReadsTheSame) {
  std::vector<Record> records;
  const uint32_t ids[] = {5, 200, 16000, 16512, 2000000, 3000000, 300000000};
  for (const uint32_t id : ids) records.push_back(Person(id));
  for (Record& record : records) record.values[3].text = "n" + std::to_string(record.id);
  records[1].values[0].keyForm = KeyForm::kOneByte;  // 01 01
  records[2].values[0].wideLength = true;            // FF 41 00 len
  records[3].values[0].keyForm = KeyForm::kOneByte;  // FF 01 01 00 len
  records[3].values[0].wideLength = true;
  for (size_t i = 0; i < records.size(); ++i) {
    const std::string id = std::to_string(records[i].id);
    records[i].values.push_back({100, "c" + id});  // 01 64
    // 02 80 48 or 01 C8; the last one FF 02 80 48 with a 2-byte length
    records[i].values.push_back(
        {200, "w" + id, 1, i % 2 ? KeyForm::kTwoByte : KeyForm::kOneByte, i == 5});
  }

  const DbfTable table = Recovered(LayOut(People(), records));
  EXPECT_EQ(table.names,
            (std::vector<std::string>{"Amount", "Name", "Born", "Notes", "Code", "Wide"}));
  EXPECT_EQ(table.types.substr(0, 3), "NCD");
  ASSERT_EQ(table.rows.size(), std::size(ids));
  for (size_t i = 0; i < std::size(ids); ++i) {
    const std::string id = std::to_string(ids[i]);
    const std::vector<std::string>& row = table.rows[i];
    EXPECT_EQ(Trimmed(row[0]), std::to_string(ids[i] % 1000)) << id;
    EXPECT_EQ(row[1], "Name " + id);
    EXPECT_EQ(row[2], "200411" + std::to_string(ids[i] % 15 + 13));
    EXPECT_EQ(row[3], "n" + id);
    EXPECT_EQ(row[4], "c" + id);
    EXPECT_EQ(row[5], "w" + id);
  }
}

TEST_F(DeepFp5Crafted, LongValuesInBothPieceFormsAndAcrossBlocksComeBackWhole) {
  std::vector<Record> records = People(40);
  for (Record& record : records) {
    Value& note = record.values[3];
    note.text = Note(record.id, 300 + 37 * record.id);
    note.pieceForm = record.id % 2 ? PieceForm::kChecked : PieceForm::kPlain;
    if (record.id % 3 == 0) note.pieceSize = 90;
  }
  records[0].values[3].text = "Middle Jurassic\r";  // two plain pieces, the second a lone CR
  records[0].values[3].pieceForm = PieceForm::kPlain;
  records[0].values[3].pieceSize = 15;
  // Blocks of 400 bytes: records and their pieces are broken over blocks.
  const DbfTable table = Recovered(LayOut(People(), records, 400));
  EXPECT_EQ(table.types[3], 'M');
  ASSERT_EQ(table.rows.size(), records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(table.rows[i][3], records[i].values[3].text) << records[i].id;
    EXPECT_EQ(table.rows[i][1], records[i].values[0].text);
  }
}

TEST_F(DeepFp5Crafted, OnlyLiveBytesOfDataBlocksAreRead) {
  std::vector<Block> blocks = LayOut(People(), People(30), 560);
  TokenWriter stale;
  stale.Value(1, MacRoman("STALE")).Pop(4);
  WriteRecords(stale, {{999, {{1, "STALE"}}}});
  stale.Push(3).Push(5).Push(9).Value(1, MacRoman("Ghost")).Value(2, Bytes(12, 1)).Pop(3);
  for (Block& block : blocks) block.stale = stale.bytes();
  // A deleted block and an index block, both holding what looks like records.
  BlockWriter other;
  WriteRecords(other, {{998, {{1, "deleted"}}}});
  blocks.push_back({other.Blocks()[0].payload, 0, {}, 0, true});
  blocks.insert(blocks.begin() + 3, {other.Blocks()[0].payload, 0, {}, 2, false});
  // A record-id list that lacks most records keeps none from the table.
  BlockWriter ids;
  WriteRecordIds(ids, {{1, {}}, {2, {}}});
  blocks.push_back(ids.Blocks()[0]);

  const DbfTable table = Recovered(blocks);
  EXPECT_EQ(table.names.size(), 6u);
  ASSERT_EQ(table.rows.size(), 30u);
  for (size_t i = 0; i < table.rows.size(); ++i) {
    EXPECT_EQ(table.rows[i][1], "Name " + std::to_string(i + 1));
    EXPECT_EQ(table.rows[i][3], Note(static_cast<uint32_t>(i + 1), 41 + i % 500));
  }
}

// Definitions written after the records, without their flags: the types come from the type lists
// (in either member form).
TEST_F(DeepFp5Crafted, TypesComeFromTheTypeListsWhereverTheDefinitionsLie) {
  for (const bool asData : {false, true}) {
    Catalogue catalogue = People();
    catalogue.withFlags = false;
    catalogue.typeMembersAsData = asData;
    BlockWriter out;
    WriteRecords(out, People(12));
    WriteCatalogue(out, catalogue);
    const DbfTable table = Recovered(out.Blocks());
    EXPECT_EQ(table.types.substr(0, 3), "NCD") << asData;
    EXPECT_EQ(table.rows.size(), 12u) << asData;
  }
}

// Flags whose type byte is 0 leave the type to the lists; a field no list names is text.
TEST_F(DeepFp5Crafted, TypesComeFromTheTypeListsWhereTheFlagsGiveNone) {
  Catalogue catalogue = People();
  catalogue.typedFlags = false;
  catalogue.fields.push_back({7, "Unlisted", FieldType{0}});
  std::vector<Record> records = People(12);
  for (Record& record : records) record.values.push_back({7, "12"});
  const DbfTable table = Recovered(LayOut(catalogue, records));
  EXPECT_EQ(table.names.front(), "Amount");
  EXPECT_EQ(table.types.substr(0, 3), "NCD");
  EXPECT_EQ(table.types.back(), 'C');
  EXPECT_EQ(table.rows.size(), 12u);
}

TEST_F(DeepFp5Crafted, RepetitionsBecomeColumnsAfterTheirField) {
  Catalogue catalogue;
  catalogue.fields = {{1, "Tag", kText, true, 3}, {2, "Size"}};
  std::vector<Record> records = {{1, {{1, "red"}, {1, "blue", 2}, {2, "small"}}},
                                 {2, {{1, "green"}, {1, "grey", 3}}}};
  const DbfTable table = Recovered(LayOut(catalogue, records));
  EXPECT_EQ(table.names, (std::vector<std::string>{"Tag", "Tag_2", "Tag_3", "Size"}));
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0], (std::vector<std::string>{"red", "blue", "", "small"}));
  EXPECT_EQ(table.rows[1], (std::vector<std::string>{"green", "", "grey", ""}));
}

TEST_F(DeepFp5Crafted, RecordsWithoutDefinitionsKeepTheirFieldIds) {
  BlockWriter out;
  WriteRecords(out, People(8));
  const DbfTable table = Recovered(out.Blocks());
  EXPECT_EQ(table.names, (std::vector<std::string>{"Field_1", "Field_2", "Field_3", "Field_4"}));
  ASSERT_EQ(table.rows.size(), 8u);
  EXPECT_EQ(table.rows[7][0], "Name 8");
}

TEST_F(DeepFp5Crafted, MacRomanTextReachesBothOutputEncodings) {
  Catalogue catalogue;
  catalogue.fields = {{1, "Année"}};
  const std::vector<Record> records = {{1, {{1, "Café über Mañana • fin\rzwei"}}}};
  const std::vector<Block> blocks = LayOut(catalogue, records);
  DbfTable table = Recovered(blocks);
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(table.rows[0][0], "Café über Mañana • fin\rzwei");
  Use(QRX_ENCODING_WINDOWS_1252);
  table = Recovered(blocks);
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(table.rows[0][0],
            "Caf\xE9 \xFC"
            "ber Ma\xF1"
            "ana \x95 fin\rzwei");
}

// The bytes of the token that stores `value` in the 40+F form.
Bytes TokenOf(const Value& value) {
  Bytes token(value.text.begin(), value.text.end());
  token.insert(token.begin(),
               {static_cast<uint8_t>(0x40 + value.field), static_cast<uint8_t>(value.text.size())});
  return token;
}

bool Holds(const Bytes& bytes, const Bytes& part) {
  return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

// Every row that lies on intact blocks comes back whole, in any block order; a row touched by the
// damage may lose values but never holds another record's.
class DeepFp5Damaged : public DeepFp5Crafted, public testing::WithParamInterface<std::string> {};

TEST_P(DeepFp5Damaged, CostsOnlyTheRowsOnTheDamagedBlock) {
  const std::vector<Record> records = People(120);
  const std::vector<Block> blocks = LayOut(People(), records);
  Bytes file = MakeFile(blocks);
  const size_t hit = blocks.size() / 2;  // a block of records in the middle
  const Bytes& live = blocks[hit].payload;
  const std::string kind = GetParam();
  std::vector<bool> touched(records.size() + 1, false);
  for (const Record& record : records) {
    touched[record.id] = kind != "shuffled" && (Holds(live, TokenOf(record.values[0])) ||
                                                Holds(live, TokenOf(record.values[3])));
  }
  ASSERT_TRUE(kind == "shuffled" || std::count(touched.begin(), touched.end(), true) > 2);
  if (kind == "zeroed") damage::ZeroPage(file, kBlocks, hit + 1);
  if (kind == "noise") damage::NoisePage(file, kBlocks, hit + 1, 11);
  if (kind == "bad token") {
    // The push of a record in the middle of the block becomes FF 00, a token no file holds.
    const auto middle =
        std::find_if(
            records.begin(), records.end(),
            [&](const Record& r) {
              return touched[r.id] && Holds(live, {0xC1, static_cast<uint8_t>(r.id), 0x41});
            }) +
        1;
    const Bytes push = {0xC1, static_cast<uint8_t>(middle->id), 0x41};
    const size_t at = static_cast<size_t>(
        std::search(live.begin(), live.end(), push.begin(), push.end()) - live.begin());
    ASSERT_LT(at, live.size());
    const size_t offset = (hit + 3) * kBlockSize + kBlockHeaderSize + at;
    file[offset] = 0xFF;
    file[offset + 1] = 0x00;
  }
  damage::ShufflePages(file, kBlocks, 3);

  const DbfTable table = Recovered(file);
  std::map<uint32_t, std::vector<std::string>> rows;
  for (const auto& row : table.rows) {
    const std::string& named = row[3].empty() ? row[1] : row[3];
    if (named.size() < 6) {
      ADD_FAILURE() << "a row with neither name nor note";
      continue;
    }
    const auto id = static_cast<uint32_t>(std::stoul(named.substr(5)));
    ASSERT_TRUE(id >= 1 && id <= records.size()) << named;
    EXPECT_TRUE(rows.emplace(id, row).second) << "a second row for " << id;
    const Record& record = records[id - 1];
    EXPECT_TRUE(row[1].empty() || row[1] == record.values[0].text) << id;
    EXPECT_TRUE(row[3].empty() || row[3] == record.values[3].text) << id;
    if (!touched[id]) {
      EXPECT_TRUE(!row[1].empty() && !row[3].empty()) << id;
    }
  }
  for (const Record& record : records) {
    EXPECT_TRUE(touched[record.id] || rows.count(record.id)) << record.id;
  }
  if (kind == "bad token") {
    EXPECT_NE(sandbox.Log().find("damaged at byte"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeepFp5Damaged,
                         testing::Values("shuffled", "zeroed", "noise", "bad token"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

}  // namespace
