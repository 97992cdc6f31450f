#include "deep/number_text.h"

#include <algorithm>
#include <iterator>

namespace deep {
namespace {

enum class Separator : uint8_t { kPoint, kComma, kGroupOnly };

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x00A0 || c == 0x2009 || c == 0x202F;
}
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

std::optional<Separator> SeparatorOf(char16_t c) {
  if (c == u'.') return Separator::kPoint;
  if (c == u',') return Separator::kComma;
  if (IsBlank(c) || c == u'\'' || c == 0x2019) return Separator::kGroupOnly;
  return std::nullopt;
}

Separator MarkSeparator(DecimalMark mark) {
  return mark == DecimalMark::kComma ? Separator::kComma : Separator::kPoint;
}

// A number text as digit groups and the single separators between them, taken in one pass: only
// what the decisions about its convention and value look at is kept, nothing is copied. The
// decimal separator, when there is one, is always the last separator.
class NumberShape {
 public:
  static std::optional<NumberShape> Of(std::u16string_view text);

  DecimalMark MarkShown() const;
  std::optional<DecimalNumber> Read(DecimalMark columnMark) const;

 private:
  static constexpr size_t kNone = std::u16string_view::npos;

  // The index of the decimal separator (separators_ for none), as far as the text itself tells;
  // `ambiguous` is set for a lone mark that the column's convention decides.
  std::optional<size_t> OwnDecimalIndex(bool& ambiguous) const;
  // Whether the groups before the separator `decimalIndex` (all separated by grouping marks of
  // one kind) form thousands: 1 to 3 digits, then groups of exactly 3.
  bool GroupsAreThousands(size_t decimalIndex) const;
  size_t DigitsAfterLast() const { return body_.size() - lastAt_ - 1; }

  std::u16string_view body_;  // without blanks and sign
  bool negative_ = false;
  bool nonZero_ = false;  // a digit other than 0
  size_t separators_ = 0;
  size_t points_ = 0;
  size_t commas_ = 0;
  Separator firstKind_ = Separator::kGroupOnly;
  Separator lastKind_ = Separator::kGroupOnly;
  size_t firstMark_ = kNone;  // index of the first point or comma among the separators
  Separator firstMarkKind_ = Separator::kGroupOnly;
  size_t firstGroup_ = 0;             // digits before the first separator
  size_t beforeLastAt_ = 0;           // where the group before the last separator starts
  size_t lastAt_ = 0;                 // where the last separator is
  bool sameKindBeforeLast_ = true;    // the separators before the last are all of one kind
  bool threesBeforeLast_ = true;      // the groups between two separators have 3 digits each
  size_t significant_ = 0;            // digits from the first other than 0 on
  size_t significantBeforeLast_ = 0;  // of these, the ones before the last separator
};

std::optional<NumberShape> NumberShape::Of(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  NumberShape shape;
  if (!text.empty() && (text.front() == u'-' || text.front() == 0x2212 || text.front() == u'+')) {
    shape.negative_ = text.front() != u'+';
    text.remove_prefix(1);
  }
  if (text.empty() || !IsDigit(text.back())) return std::nullopt;
  shape.body_ = text;
  size_t groupAt = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      shape.nonZero_ |= text[i] != u'0';
      shape.significant_ += shape.nonZero_;
      continue;
    }
    const std::optional<Separator> separator = SeparatorOf(text[i]);
    // A separator between digits only, one at a time; a leading one must be a decimal mark.
    if (!separator || (i > 0 && !IsDigit(text[i - 1])) ||
        (i == 0 && *separator == Separator::kGroupOnly)) {
      return std::nullopt;
    }
    if (shape.separators_ == 0) {
      shape.firstKind_ = *separator;
      shape.firstGroup_ = i;
    } else {
      shape.sameKindBeforeLast_ &= shape.lastKind_ == shape.firstKind_;
      shape.threesBeforeLast_ &= i - groupAt == 3;
    }
    if (*separator != Separator::kGroupOnly && shape.firstMark_ == kNone) {
      shape.firstMark_ = shape.separators_;
      shape.firstMarkKind_ = *separator;
    }
    shape.points_ += *separator == Separator::kPoint;
    shape.commas_ += *separator == Separator::kComma;
    ++shape.separators_;
    shape.lastKind_ = *separator;
    shape.beforeLastAt_ = groupAt;
    shape.lastAt_ = i;
    shape.significantBeforeLast_ = shape.significant_;
    groupAt = i + 1;
  }
  return shape;
}

std::optional<size_t> NumberShape::OwnDecimalIndex(bool& ambiguous) const {
  ambiguous = false;
  const size_t none = separators_;
  if (none == 0) return none;
  const size_t last = none - 1;
  if (points_ > 0 && commas_ > 0) {
    // The last mark is the decimal one, and occurs once.
    const size_t lastCount = lastKind_ == Separator::kPoint   ? points_
                             : lastKind_ == Separator::kComma ? commas_
                                                              : 0;
    if (lastCount != 1) return std::nullopt;
    return last;
  }
  const size_t marks = points_ + commas_;
  if (marks != 1) return none;                                  // grouping only
  if (lastKind_ == Separator::kGroupOnly) return std::nullopt;  // "1,5 000"
  if (separators_ > marks) return last;                         // "1 234,5"
  const std::u16string_view before = body_.substr(beforeLastAt_, lastAt_ - beforeLastAt_);
  if (DigitsAfterLast() != 3 || before.empty() || before.front() == u'0' || before.size() > 3) {
    return last;
  }
  ambiguous = true;
  return last;
}

bool NumberShape::GroupsAreThousands(size_t decimalIndex) const {
  if (decimalIndex == 0) return true;
  const bool lastGroups =
      decimalIndex == separators_ - 1 || (lastKind_ == firstKind_ && DigitsAfterLast() == 3);
  return sameKindBeforeLast_ && threesBeforeLast_ && lastGroups && firstGroup_ > 0 &&
         firstGroup_ <= 3;
}

DecimalMark NumberShape::MarkShown() const {
  bool ambiguous = false;
  const std::optional<size_t> decimal = OwnDecimalIndex(ambiguous);
  if (!decimal || ambiguous || firstMark_ == kNone) return DecimalMark::kUnknown;
  const bool isDecimal = firstMark_ == *decimal;
  return (firstMarkKind_ == Separator::kPoint) == isDecimal ? DecimalMark::kPoint
                                                            : DecimalMark::kComma;
}

std::optional<DecimalNumber> NumberShape::Read(DecimalMark columnMark) const {
  bool ambiguous = false;
  std::optional<size_t> decimal = OwnDecimalIndex(ambiguous);
  if (!decimal) return std::nullopt;
  if (ambiguous && columnMark != DecimalMark::kUnknown && lastKind_ != MarkSeparator(columnMark)) {
    decimal = separators_;  // the lone mark groups thousands
  }
  if (!GroupsAreThousands(*decimal)) return std::nullopt;

  DecimalNumber number;
  number.negative = negative_ && nonZero_;
  if (*decimal == separators_) {
    number.integerPart = body_;
    number.integerDigits = significant_;
  } else {
    number.integerPart = body_.substr(0, lastAt_);
    number.fractionPart = body_.substr(lastAt_ + 1);
    number.integerDigits = significantBeforeLast_;
  }
  return number;
}

}  // namespace

size_t DecimalNumber::SignedIntegerWidth() const {
  return (negative ? 1 : 0) + std::max<size_t>(1, integerDigits);
}

void DecimalNumber::AppendFormatted(size_t decimals, std::string& out) const {
  if (negative) out += '-';
  const size_t integerAt = out.size();
  for (const char16_t c : integerPart) {
    if (IsDigit(c) && (c != u'0' || out.size() > integerAt)) out += static_cast<char>(c);
  }
  if (out.size() == integerAt) out += '0';
  if (decimals > 0) {
    out += '.';
    for (const char16_t c : fractionPart) out += static_cast<char>(c);
    out.append(decimals - std::min(decimals, fractionPart.size()), '0');
  }
}

std::string DecimalNumber::Formatted(size_t decimals) const {
  std::string text;
  AppendFormatted(decimals, text);
  return text;
}

DecimalMark MarkShownBy(std::u16string_view text) {
  const std::optional<NumberShape> shape = NumberShape::Of(text);
  return shape ? shape->MarkShown() : DecimalMark::kUnknown;
}

std::optional<DecimalNumber> ReadNumber(std::u16string_view text, DecimalMark columnMark) {
  const std::optional<NumberShape> shape = NumberShape::Of(text);
  return shape ? shape->Read(columnMark) : std::nullopt;
}

NumberReadings ReadNumberEachWay(std::u16string_view text) {
  NumberReadings readings;
  const std::optional<NumberShape> shape = NumberShape::Of(text);
  if (!shape) return readings;
  readings.shown = shape->MarkShown();
  for (size_t mark = 0; mark < std::size(readings.byColumnMark); ++mark) {
    readings.byColumnMark[mark] = shape->Read(DecimalMark(mark));
  }
  return readings;
}

}  // namespace deep
