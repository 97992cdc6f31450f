// The second pass over the pages of one table: its records, read from the pages that the first
// pass found them on, in the order of their record ids, and handed on as rows.
//
// A record may occur on several pages (continued on the next one, or an old copy of a page left in
// the file). Its occurrences are joined field by field. When two pages give different values for
// the same field (or the same piece of a long value), the value of the page read first is kept:
// pages are read in the order of their first record id, then of their page number, so that is the
// page that reached the record first. Every such conflict is counted and logged with both pages.
//
// Records are held only until no page still to be read can hold them: a page whose first record
// id is r releases every record below r.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "deep/fp7_page.h"
#include "deep/held_in_order.h"
#include "deep/long_value.h"

namespace deep {

// One field of a record: its value, or the numbered pieces of a long value.
struct Fp7Field : LongValue {
  uint64_t page = 0;  // where it was first met
};

struct Fp7Record {
  std::map<uint32_t, Fp7Field> fields;  // by column id
};

class Fp7TableRows final : public Fp7PageVisitor {
 public:
  // `emit` receives each record once, in ascending record id order.
  using RecordSink = std::function<void(uint64_t recordId, const Fp7Record& record)>;
  Fp7TableRows(uint64_t tableId, RecordSink emit);

  // Pages must come in ascending order of their first record id.
  void BeginPage(uint64_t number, uint64_t firstId);
  // Hands on every record still held.
  void Finish();

  void OnValue(std::span<const PathPart> path, const ChunkKey& key,
               std::span<const uint8_t> value) override;
  void OnSegment(std::span<const PathPart> path, uint32_t piece,
                 std::span<const uint8_t> bytes) override;

  uint32_t Conflicts() const { return conflicts_; }

 private:
  // The record `path` is inside of (T/5/R...), or null when it is not one of this table's.
  Fp7Record* RecordAt(std::span<const PathPart> path);
  // Keeps `bytes` in `slot` unless it holds other bytes already (a conflict).
  void Keep(std::vector<uint8_t>& slot, uint64_t& slotPage, std::span<const uint8_t> bytes,
            uint64_t recordId, uint32_t column);

  uint64_t tableId_;
  uint64_t page_ = 0;
  HeldInOrder<Fp7Record> held_;
  uint32_t conflicts_ = 0;
};

}  // namespace deep
