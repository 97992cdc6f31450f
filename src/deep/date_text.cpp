#include "deep/date_text.h"

#include <array>

namespace deep {
namespace {

constexpr int kTwoDigitYearPivot = 30;  // 00-29: 2000s, 30-99: 1900s

struct DateNumbers {
  std::array<int, 3> value{};
  std::array<size_t, 3> digits{};
};

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x00A0;
}

std::optional<DateNumbers> NumbersOf(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  DateNumbers numbers;
  size_t part = 0;
  char16_t separator = 0;
  for (const char16_t c : text) {
    if (c >= u'0' && c <= u'9') {
      if (++numbers.digits[part] > 4) return std::nullopt;
      numbers.value[part] = numbers.value[part] * 10 + (c - u'0');
    } else if ((c == u'/' || c == u'.' || c == u'-') && (separator == 0 || c == separator) &&
               numbers.digits[part] > 0 && part < 2) {
      separator = c;
      ++part;
    } else {
      return std::nullopt;
    }
  }
  if (part != 2 || numbers.digits[2] == 0) return std::nullopt;
  return numbers;
}

bool IsIso(const DateNumbers& n) {
  return n.digits[0] == 4 && n.digits[1] <= 2 && n.digits[2] <= 2;
}

bool IsRealDate(int year, int month, int day) {
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month != 2 || day <= 28 || leap;
}

struct YearMonthDay {
  int year, month, day;
};

// The date in `order` (ignored for ISO texts); nullopt when it is none.
std::optional<YearMonthDay> DateIn(const DateNumbers& n, DayMonthOrder order) {
  YearMonthDay date{};
  if (IsIso(n)) {
    date = {n.value[0], n.value[1], n.value[2]};
  } else {
    if (n.digits[0] > 2 || n.digits[1] > 2 || (n.digits[2] != 2 && n.digits[2] != 4)) {
      return std::nullopt;
    }
    int year = n.value[2];
    if (n.digits[2] == 2) year += year < kTwoDigitYearPivot ? 2000 : 1900;
    date = order == kDayFirst ? YearMonthDay{year, n.value[1], n.value[0]}
                              : YearMonthDay{year, n.value[0], n.value[1]};
  }
  if (!IsRealDate(date.year, date.month, date.day)) return std::nullopt;
  return date;
}

// Writes the digits of `value` backwards from `end` (the year has at most 4, month and day 2).
void PutDigits(int value, std::string::iterator end) {
  for (; value > 0; value /= 10) *--end = static_cast<char>('0' + value % 10);
}

}  // namespace

DateReading ReadDate(std::u16string_view text) {
  DateReading reading;
  const std::optional<DateNumbers> numbers = NumbersOf(text);
  if (!numbers) return reading;
  const std::optional<YearMonthDay> dayFirst = DateIn(*numbers, kDayFirst);
  const std::optional<YearMonthDay> monthFirst = DateIn(*numbers, kMonthFirst);
  if (dayFirst) reading.validOrders |= kDayFirst;
  if (monthFirst) reading.validOrders |= kMonthFirst;
  reading.orderMatters = dayFirst && monthFirst && dayFirst->month != monthFirst->month;
  return reading;
}

std::optional<std::string> DateDigits(std::u16string_view text, DayMonthOrder order) {
  const std::optional<DateNumbers> numbers = NumbersOf(text);
  const std::optional<YearMonthDay> date = numbers ? DateIn(*numbers, order) : std::nullopt;
  if (!date) return std::nullopt;
  std::string digits(8, '0');
  PutDigits(date->year, digits.begin() + 4);
  PutDigits(date->month, digits.begin() + 6);
  PutDigits(date->day, digits.end());
  return digits;
}

}  // namespace deep
