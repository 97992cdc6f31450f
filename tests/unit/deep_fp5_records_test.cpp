// The fp5 catalogue, columns and records on hand-written blocks: field order, types from the
// flags or the type lists, fields that hold no record data left out, repetitions as columns, long
// values in both piece forms, records joined across blocks and conflicts counted.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "deep/fp5_block.h"
#include "deep/fp5_catalogue.h"
#include "deep/fp5_columns.h"
#include "deep/fp5_records.h"
#include "platform/text.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Token bytes, with texts spelled out.
Bytes Tokens(std::initializer_list<std::variant<int, std::string>> parts) {
  Bytes out;
  for (const auto& part : parts) {
    if (std::holds_alternative<int>(part)) {
      out.push_back(static_cast<uint8_t>(std::get<int>(part)));
    } else {
      out.insert(out.end(), std::get<std::string>(part).begin(), std::get<std::string>(part).end());
    }
  }
  return out;
}

Bytes Block(const Bytes& payload) {
  Bytes block(deep::kFp5BlockSize, 0);
  block[12] = static_cast<uint8_t>(payload.size() >> 8);
  block[13] = static_cast<uint8_t>(payload.size());
  std::copy(payload.begin(), payload.end(), block.begin() + deep::kFp5HeaderSize);
  return block;
}

// Flags: storage, type, repetitions.
std::vector<std::variant<int, std::string>> Flags(int storage, int type, int repetitions) {
  return {0x42, 12, storage, type, 1, 0, 0, 1, 0, 0, 0, 0, 0, repetitions};
}

Bytes Definitions() {
  Bytes out = Tokens({0xC1, 3, 0xC1, 2,              // 3/2: types
                      0xC1, 2, 0xC1, 4, 0xC0, 0xC0,  // field 4 a number, as a sub-path
                      0xC1, 3, 0x81, 5, 0xC0, 0xC0,  // field 5 a date, as a data item
                      0xC1, 3,                       // 3/3: order
                      0x02, 0, 1,    2, 1,    2,    0x02, 0, 2, 2, 1, 1, 0xC0, 0xC1, 5});
  const auto field = [&](int id, const std::string& name, int storage, int type, int reps) {
    std::vector<std::variant<int, std::string>> parts = {0xC1, id, 0x41,
                                                         static_cast<int>(name.size()), name};
    if (type != 0) {
      const auto flags = Flags(storage, type, reps);
      parts.insert(parts.end(), flags.begin(), flags.end());
    }
    parts.push_back(0xC0);
    for (const auto& part : parts) {
      const Bytes bytes = Tokens({part});
      out.insert(out.end(), bytes.begin(), bytes.end());
    }
  };
  field(1, "Name", 1, 1, 3);
  field(2, "Age", 1, 2, 1);
  field(3, "Global", 1, 8, 1);
  field(4, "Calc", 3, 6, 1);
  field(5, "Day", 0, 0, 0);  // no flags: the type list says date
  return out;
}

const Bytes kFirst =
    Tokens({0xC1, 5,    0xC1,  1,                       // record 1
            0x41, 3,    "Ann", 0x42, 2,    "42",        // fields 1 and 2
            0x02, 1,    2,     1,    "x",               // field 1, repetition 2
            0x02, 1,    5,     1,    "y",               // repetition 5: beyond the definition
            0x01, 7,    1,     "z",                     // an undefined field
            0x01, 0xFC, 5,     0,    0,    0,    0, 1,  // bookkeeping
            0xC1, 5,    0x41,  2,    "ab", 0x42, 1, "c",  0x01,
            0xFF, 5,    0,     0,    0,    0,    4, 0xC0, 0xC0,   // a long value, checked
            0xC1, 2,    0x41,  2,    "Bo"});                      // record 2 goes on
const Bytes kSecond = Tokens({0xC1, 5, 0xC1, 2,                   // record 2 re-opened
                              0x42, 1, "7",                       // field 2
                              0xC1, 5, 0x02, 0, 1,   2,    "de",  // a long value in two-VLI
                              0x02, 0, 2,    1, "f", 0xC0,        // pieces, unchecked
                              0x41, 2, "XX"});                    // field 1 again: a conflict

template <typename Visitor>
void Decode(const Bytes& payload, Visitor& visitor) {
  const deep::BlockOutcome outcome = deep::DecodeFp5Block(Block(payload), visitor);
  ASSERT_FALSE(outcome.damaged) << outcome.why << " at " << outcome.stoppedAt;
}

TEST(DeepFp5Records, ColumnsInTheFilesOrderWithTheirTypesAndRepetitions) {
  deep::Fp5Catalogue catalogue;
  const Bytes definitions = Definitions();
  const Bytes* blocks[] = {&kSecond, &kFirst, &definitions};  // in any order
  for (uint64_t n = 0; n < 3; ++n) {
    catalogue.BeginBlock(n + 1);
    Decode(*blocks[n], catalogue);
    catalogue.EndBlock({});
  }
  std::vector<std::string> columns;
  for (const deep::Fp5Column& column : deep::Fp5Columns(catalogue)) {
    static const char* const kKinds[] = {"T", "N", "D", "Ti", "Ts", "C"};
    columns.push_back(ToNarrow(column.column.name) + ":" +
                      kKinds[static_cast<int>(column.column.kind)]);
  }
  // 3/3 puts Age first; repetitions up to the three the flags allow; the global and the unstored
  // calculation left out; then Day and the undefined field 7 by id.
  EXPECT_EQ(columns, (std::vector<std::string>{"Age:N", "Name:T", "Name_2:T", "Name_3:T", "Day:D",
                                               "Field_7:T"}));
  ASSERT_EQ(catalogue.RecordBlocks().size(), 2u);
  EXPECT_EQ(catalogue.RecordBlocks()[0].firstId, 2u);
  EXPECT_EQ(catalogue.RecordBlocks()[1].firstId, 1u);
}

TEST(DeepFp5Records, RecordsJoinedAcrossBlocksWithTheirLongValues) {
  std::vector<std::pair<uint64_t, std::map<deep::Fp5Slot, std::string>>> seen;
  deep::Fp5Records records([&](uint64_t id, const deep::Fp5Record& record) {
    std::map<deep::Fp5Slot, std::string> values;
    for (const auto& [slot, value] : record.values) {
      const Bytes bytes = value.Bytes();
      values[slot] = std::string(bytes.begin(), bytes.end());
    }
    seen.emplace_back(id, values);
  });
  records.BeginBlock(7, 1);
  Decode(kFirst, records);
  records.BeginBlock(3, 2);
  Decode(kSecond, records);
  records.Finish();
  using Values = std::map<deep::Fp5Slot, std::string>;
  const Values first = {{{1, 1}, "Ann"}, {{1, 2}, "x"},   {{1, 5}, "y"},
                        {{2, 1}, "42"},  {{5, 1}, "abc"}, {{7, 1}, "z"}};
  const Values second = {{{1, 1}, "Bo"}, {{2, 1}, "7"}, {{5, 1}, "def"}};
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(uint64_t{1}, first));
  EXPECT_EQ(seen[1], std::make_pair(uint64_t{2}, second));
  EXPECT_EQ(records.Conflicts(), 1u);  // "XX" on block 3 against "Bo" on block 7
}

}  // namespace
