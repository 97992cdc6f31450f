#include "deep/number_text.h"

#include <algorithm>
#include <vector>

namespace deep {
namespace {

enum class Separator : uint8_t { kPoint, kComma, kGroupOnly };

// The text cut into digit groups and the single separators between them.
struct NumberShape {
  bool negative = false;
  std::vector<std::u16string_view> groups;  // digit runs; the first may be empty (".5")
  std::vector<Separator> separators;        // separators[i] follows groups[i]
};

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

std::optional<NumberShape> ShapeOf(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  NumberShape shape;
  if (!text.empty() && (text.front() == u'-' || text.front() == 0x2212 || text.front() == u'+')) {
    shape.negative = text.front() != u'+';
    text.remove_prefix(1);
  }
  if (text.empty() || !IsDigit(text.back())) return std::nullopt;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsDigit(text[i])) continue;
    const std::optional<Separator> separator = SeparatorOf(text[i]);
    // A separator between digits only, one at a time; a leading one must be a decimal mark.
    if (!separator || (i > 0 && !IsDigit(text[i - 1])) ||
        (i == 0 && *separator == Separator::kGroupOnly)) {
      return std::nullopt;
    }
    shape.groups.push_back(text.substr(start, i - start));
    shape.separators.push_back(*separator);
    start = i + 1;
  }
  shape.groups.push_back(text.substr(start));
  return shape;
}

// The index of the decimal separator in `shape.separators` (or its size for none), as far as the
// text itself tells; `ambiguous` is set for a lone mark that the column's convention decides.
std::optional<size_t> OwnDecimalIndex(const NumberShape& shape, bool& ambiguous) {
  ambiguous = false;
  const auto& seps = shape.separators;
  const size_t none = seps.size();
  if (seps.empty()) return none;
  const auto count = [&](Separator s) { return std::count(seps.begin(), seps.end(), s); };
  const size_t last = seps.size() - 1;
  const size_t points = count(Separator::kPoint), commas = count(Separator::kComma);
  if (points > 0 && commas > 0) {
    // The last mark is the decimal one, and occurs once.
    if (seps[last] == Separator::kGroupOnly || count(seps[last]) != 1) return std::nullopt;
    return last;
  }
  const size_t marks = points + commas;
  if (marks == 0 || marks > 1) return none;                      // grouping only
  if (seps[last] == Separator::kGroupOnly) return std::nullopt;  // "1,5 000"
  if (count(Separator::kGroupOnly) > 0) return last;             // "1 234,5"
  const std::u16string_view before = shape.groups[last], after = shape.groups[last + 1];
  if (after.size() != 3 || before.empty() || before.front() == u'0' || before.size() > 3) {
    return last;
  }
  ambiguous = true;
  return last;
}

// Whether the groups before `decimalIndex` (all separated by grouping marks of one kind) form
// thousands: 1 to 3 digits, then groups of exactly 3.
bool GroupsAreThousands(const NumberShape& shape, size_t decimalIndex) {
  std::optional<Separator> grouping;
  for (size_t i = 0; i < decimalIndex; ++i) {
    if (grouping && *grouping != shape.separators[i]) return false;
    grouping = shape.separators[i];
    if (shape.groups[i + 1].size() != 3) return false;
  }
  return decimalIndex == 0 || (!shape.groups[0].empty() && shape.groups[0].size() <= 3);
}

Separator MarkSeparator(DecimalMark mark) {
  return mark == DecimalMark::kComma ? Separator::kComma : Separator::kPoint;
}

}  // namespace

size_t DecimalNumber::SignedIntegerWidth() const {
  return (negative ? 1 : 0) + std::max<size_t>(1, integerDigits.size());
}

std::string DecimalNumber::Formatted(size_t decimals) const {
  std::string text = negative ? "-" : "";
  text += integerDigits.empty() ? "0" : integerDigits;
  if (decimals > 0) {
    text += '.';
    text += fractionDigits;
    text.append(decimals - std::min(decimals, fractionDigits.size()), '0');
  }
  return text;
}

DecimalMark MarkShownBy(std::u16string_view text) {
  const std::optional<NumberShape> shape = ShapeOf(text);
  bool ambiguous = false;
  const std::optional<size_t> decimal = shape ? OwnDecimalIndex(*shape, ambiguous) : std::nullopt;
  if (!decimal || ambiguous) return DecimalMark::kUnknown;
  for (size_t i = 0; i < shape->separators.size(); ++i) {
    const Separator s = shape->separators[i];
    if (s == Separator::kGroupOnly) continue;
    const bool isDecimal = i == *decimal;
    return (s == Separator::kPoint) == isDecimal ? DecimalMark::kPoint : DecimalMark::kComma;
  }
  return DecimalMark::kUnknown;
}

std::optional<DecimalNumber> ReadNumber(std::u16string_view text, DecimalMark columnMark) {
  const std::optional<NumberShape> shape = ShapeOf(text);
  if (!shape) return std::nullopt;
  bool ambiguous = false;
  std::optional<size_t> decimal = OwnDecimalIndex(*shape, ambiguous);
  if (!decimal) return std::nullopt;
  if (ambiguous && columnMark != DecimalMark::kUnknown &&
      shape->separators[*decimal] != MarkSeparator(columnMark)) {
    decimal = shape->separators.size();  // the lone mark groups thousands
  }
  if (!GroupsAreThousands(*shape, *decimal)) return std::nullopt;

  DecimalNumber number;
  for (size_t i = 0; i < shape->groups.size(); ++i) {
    std::string& digits = i <= *decimal ? number.integerDigits : number.fractionDigits;
    for (const char16_t c : shape->groups[i]) digits += static_cast<char>(c);
  }
  number.integerDigits.erase(0, number.integerDigits.find_first_not_of('0'));
  const bool zero = number.integerDigits.empty() &&
                    number.fractionDigits.find_first_not_of('0') == std::string::npos;
  number.negative = shape->negative && !zero;
  return number;
}

}  // namespace deep
