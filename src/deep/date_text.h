// Dates stored as display text ("18/11/2004", "11.18.04", "2004-11-18"), read to the dBase form
// YYYYMMDD. Three numbers joined by one kind of separator ("/", "." or "-"): a first number of
// four digits is a year in ISO order (year, month, day); otherwise the year comes last, with two
// or four digits (a two-digit year means 1930 to 2029), and the day and month before it are in
// an order the text alone may not tell. Which orders give a real date is reported, so that the
// writer can decide the order from every value of the table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace deep {

// Orders of day and month before the year, as bits.
enum DayMonthOrder : uint8_t { kDayFirst = 1, kMonthFirst = 2, kEitherOrder = 3 };

struct DateReading {
  uint8_t validOrders = 0;    // the orders under which the text is a real date (ISO: both)
  bool orderMatters = false;  // both orders valid and giving different dates ("03/04/2005")
};

// How the text reads as a date; validOrders is 0 when it does not read as one.
DateReading ReadDate(std::u16string_view text);
// YYYYMMDD of the text read in `order` (kDayFirst or kMonthFirst); nullopt when that is no date.
std::optional<std::string> DateDigits(std::u16string_view text, DayMonthOrder order);

}  // namespace deep
