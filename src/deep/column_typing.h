// The dBase field a column becomes, decided from statistics over all its values: what the column
// definition says it holds, and whether every value really reads that way.
//   text, time, timestamp, container -> C, or M once a value takes more than 254 bytes;
//   number -> N with '.' and the decimals the values have, at most 20 characters wide; C when a
//             value is not a number or the field would be wider;
//   date   -> D when every value reads as a date in one order of day and month; C otherwise.
// A column kept from its type by particular values counts those values as not typed; one kept
// from it by the values together (an ambiguous day/month order, numbers too wide together) counts
// all of its values.
#pragma once

#include <cstdint>
#include <string_view>

#include "deep/date_text.h"
#include "deep/number_text.h"

namespace deep {

enum class ColumnKind { kText, kNumber, kDate, kTime, kTimestamp, kContainer };

// How the values of a column are written.
struct FieldPlan {
  char type = 'C';
  uint8_t width = 1;
  uint8_t decimals = 0;
  DecimalMark mark = DecimalMark::kUnknown;  // N: how ambiguous separators read
  DayMonthOrder order = kDayFirst;           // D: how day and month are read
  uint32_t valuesNotTyped = 0;
  const char* whyText = "";  // for the log, when a number or date column became C or M
};

// Whether a value holds nothing but blanks; such a value is written as no value.
bool IsBlankValue(std::u16string_view value);

class ColumnStats {
 public:
  explicit ColumnStats(ColumnKind kind) : kind_(kind) {}

  // One value present in the column, with the bytes it takes once encoded.
  void Add(std::u16string_view value, size_t encodedBytes);
  // Date columns whose values are all dates: the orders of day and month every value allows.
  // 0 for other columns; the writer intersects these over the table.
  uint8_t DateOrders() const;
  // `tableOrders`: the intersection of DateOrders over the table's date columns; it decides the
  // order of a column whose own values allow both.
  FieldPlan Plan(uint8_t tableOrders) const;

 private:
  static constexpr size_t kMarks = 3;  // one per DecimalMark

  struct NumberWidths {
    size_t signedInteger = 0;
    size_t fraction = 0;
    uint32_t tooWide = 0;  // values that alone need more than a field can hold
  };

  FieldPlan TextPlan(uint32_t notTyped, const char* why) const;
  FieldPlan NumberPlan() const;
  FieldPlan DatePlan(uint8_t tableOrders) const;

  ColumnKind kind_;
  uint32_t values_ = 0;
  size_t longestBytes_ = 0;
  uint32_t notReadable_ = 0;  // values that are not numbers (dates) in a number (date) column
  uint32_t pointVotes_ = 0;
  uint32_t commaVotes_ = 0;
  NumberWidths widths_[kMarks];
  uint8_t dateOrders_ = kEitherOrder;
  bool dateOrderMatters_ = false;
};

}  // namespace deep
