#include "deep/typed_text.h"

#include "platform/text.h"

namespace deep {
namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x00A0;
}

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string TwoDigits(int value) {
  return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

// "YYYY-MM-DD" of YYYYMMDD.
std::string IsoDate(const std::string& digits) {
  return digits.substr(0, 4) + '-' + digits.substr(4, 2) + '-' + digits.substr(6, 2);
}

std::optional<std::string> Timestamp(std::u16string_view text, DayMonthOrder order) {
  text = Trimmed(text);
  const size_t blank = text.find(u' ');
  if (blank == std::u16string_view::npos) return std::nullopt;
  // An order the table's dates leave open reads only dates that both orders read alike.
  std::optional<std::string> date =
      DateDigits(text.substr(0, blank), order == kMonthFirst ? kMonthFirst : kDayFirst);
  if (order == kEitherOrder && date != DateDigits(text.substr(0, blank), kMonthFirst)) {
    return std::nullopt;
  }
  const std::optional<std::string> time = TimeOfDay(text.substr(blank + 1));
  if (!date || !time) return std::nullopt;
  return IsoDate(*date) + ' ' + *time;
}

}  // namespace

std::optional<std::string> TimeOfDay(std::u16string_view text) {
  text = Trimmed(text);
  int hourShift = -1;  // -1: a 24-hour clock; 0: AM; 12: PM
  for (const auto& [mark, shift] : {std::pair{u"AM", 0}, {u"PM", 12}, {u"am", 0}, {u"pm", 12}}) {
    if (text.ends_with(mark)) {
      hourShift = shift;
      text = Trimmed(text.substr(0, text.size() - 2));
    }
  }
  int parts[3] = {0, 0, 0};
  size_t part = 0;
  size_t digits = 0;
  for (const char16_t c : text) {
    if (c >= u'0' && c <= u'9' && digits < 2) {
      parts[part] = parts[part] * 10 + (c - u'0');
      ++digits;
    } else if (c == u':' && digits > 0 && part < 2) {
      ++part;
      digits = 0;
    } else {
      return std::nullopt;
    }
  }
  if (part == 0 || digits != 2) return std::nullopt;
  if (hourShift >= 0) {
    if (parts[0] < 1 || parts[0] > 12) return std::nullopt;
    parts[0] = parts[0] % 12 + hourShift;
  }
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  return TwoDigits(parts[0]) + ':' + TwoDigits(parts[1]) + ':' + TwoDigits(parts[2]);
}

std::optional<std::string> TypedText(std::u16string_view value, const TypedColumn& column) {
  const FieldPlan& plan = column.plan;
  if ((plan.type == 'N' || plan.type == 'D') && IsBlankValue(value)) return std::nullopt;
  if (plan.type == 'N') {
    const std::optional<DecimalNumber> number = ReadNumber(value, plan.mark);
    if (number) return number->Formatted(number->fractionPart.size());
  } else if (plan.type == 'D') {
    const std::optional<std::string> digits = DateDigits(value, plan.order);
    if (digits) return IsoDate(*digits);
  } else if (column.kind == ColumnKind::kTime) {
    if (std::optional<std::string> time = TimeOfDay(value)) return time;
  } else if (column.kind == ColumnKind::kTimestamp) {
    if (std::optional<std::string> stamp = Timestamp(value, column.tableOrder)) return stamp;
  }
  return qrx::platform::ToValidUtf8(value);
}

}  // namespace deep
