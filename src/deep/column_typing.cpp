#include "deep/column_typing.h"

#include <algorithm>
#include <optional>

#include "dbf/dbf_layout.h"

namespace deep {
namespace {

constexpr size_t kLargestCharacterWidth = 254;
constexpr size_t kLargestNumberWidth = 20;  // sign and point included
constexpr uint8_t kDateWidth = 8;

size_t NumberWidth(size_t signedInteger, size_t fraction) {
  return signedInteger + (fraction > 0 ? 1 + fraction : 0);
}

}  // namespace

bool IsBlankValue(std::u16string_view value) {
  return std::all_of(value.begin(), value.end(),
                     [](char16_t c) { return c == u' ' || c == u'\t' || c == 0x00A0; });
}

void ColumnStats::Add(std::u16string_view value, size_t encodedBytes) {
  longestBytes_ = std::max(longestBytes_, encodedBytes);
  if (IsBlankValue(value)) return;
  ++values_;
  if (kind_ == ColumnKind::kNumber) {
    const NumberReadings readings = ReadNumberEachWay(value);
    pointVotes_ += readings.shown == DecimalMark::kPoint;
    commaVotes_ += readings.shown == DecimalMark::kComma;
    for (size_t mark = 0; mark < kMarks; ++mark) {
      const std::optional<DecimalNumber>& number = readings.byColumnMark[mark];
      if (!number) {
        ++notReadable_;
        return;
      }
      NumberWidths& widths = widths_[mark];
      const size_t integer = number->SignedIntegerWidth(), fraction = number->fractionPart.size();
      widths.tooWide += NumberWidth(integer, fraction) > kLargestNumberWidth;
      widths.signedInteger = std::max(widths.signedInteger, integer);
      widths.fraction = std::max(widths.fraction, fraction);
    }
  } else if (kind_ == ColumnKind::kDate) {
    const DateReading reading = ReadDate(value);
    if (reading.validOrders == 0) {
      ++notReadable_;
      return;
    }
    dateOrders_ &= reading.validOrders;
    dateOrderMatters_ |= reading.orderMatters;
  }
}

uint8_t ColumnStats::DateOrders() const {
  return kind_ == ColumnKind::kDate && notReadable_ == 0 ? dateOrders_ : 0;
}

FieldPlan ColumnStats::Plan(uint8_t tableOrders) const {
  if (kind_ == ColumnKind::kNumber) return NumberPlan();
  if (kind_ == ColumnKind::kDate) return DatePlan(tableOrders);
  return TextPlan(0, "");
}

FieldPlan ColumnStats::TextPlan(uint32_t notTyped, const char* why) const {
  FieldPlan plan;
  plan.valuesNotTyped = notTyped;
  plan.whyText = why;
  if (longestBytes_ > kLargestCharacterWidth) {
    plan.type = 'M';
    plan.width = dbf_layout::kMemoPointerWidth;
  } else {
    plan.width = static_cast<uint8_t>(std::max<size_t>(1, longestBytes_));
  }
  return plan;
}

FieldPlan ColumnStats::NumberPlan() const {
  if (notReadable_ > 0) return TextPlan(notReadable_, "a value is not a number");
  DecimalMark mark = DecimalMark::kUnknown;
  if (pointVotes_ > 0 && commaVotes_ == 0) mark = DecimalMark::kPoint;
  if (commaVotes_ > 0 && pointVotes_ == 0) mark = DecimalMark::kComma;
  const NumberWidths& widths = widths_[static_cast<size_t>(mark)];
  if (widths.tooWide > 0) return TextPlan(widths.tooWide, "a number is wider than 20 characters");
  const size_t width = NumberWidth(std::max<size_t>(1, widths.signedInteger), widths.fraction);
  if (width > kLargestNumberWidth) {
    return TextPlan(values_, "the numbers together need more than 20 characters");
  }
  FieldPlan plan;
  plan.type = 'N';
  plan.width = static_cast<uint8_t>(width);
  plan.decimals = static_cast<uint8_t>(widths.fraction);
  plan.mark = mark;
  return plan;
}

FieldPlan ColumnStats::DatePlan(uint8_t tableOrders) const {
  if (notReadable_ > 0) return TextPlan(notReadable_, "a value is not a date");
  if (dateOrders_ == 0) return TextPlan(values_, "its dates need different day/month orders");
  const uint8_t shared = dateOrders_ & tableOrders;
  const uint8_t allowed = shared != 0 ? shared : dateOrders_;
  if (allowed == kEitherOrder && dateOrderMatters_) {
    return TextPlan(values_, "the order of day and month is ambiguous");
  }
  FieldPlan plan;
  plan.type = 'D';
  plan.width = kDateWidth;
  plan.order = (allowed & kDayFirst) != 0 ? kDayFirst : kMonthFirst;
  return plan;
}

}  // namespace deep
