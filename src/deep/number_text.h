// Numbers stored as the text a person typed or the database displayed ("0,79", "1 234,50",
// "1.234,50", "1,234.50", "-3"), read to their exact decimal value in either separator
// convention.
//
// A value shows its convention by itself when it can: the last of two different marks is the
// decimal one ("1.234,50"); a mark that occurs twice groups thousands ("1.234.567"); a lone mark
// beside blank or apostrophe grouping ("1 234,5"), followed by other than exactly 3 digits
// ("0,79", "12.5"), or after an integer part that thousands grouping cannot give (empty, starting
// with 0, or longer than 3 digits: ",125", "0.125", "1234,567") is decimal. Only a lone mark
// after 1 to 3 digits (not starting with 0) and before exactly 3 ("1,234", "12.500") is
// ambiguous; the column's convention decides it, and a column that shows none (or both) reads
// such a mark as decimal, since a typed number rarely carries a thousands mark.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace deep {

// Which mark separates the decimals. kUnknown reads an ambiguous lone mark as decimal.
enum class DecimalMark : uint8_t { kUnknown, kPoint, kComma };

// An exact decimal value, as views of the text it was read from (valid while that text is).
struct DecimalNumber {
  bool negative = false;             // never set for zero
  std::u16string_view integerPart;   // digits and grouping marks, leading zeros included
  std::u16string_view fractionPart;  // digits as written, trailing zeros kept
  size_t integerDigits = 0;          // without leading zeros; 0 for 0
  // Characters of the value in a dBase N field with its own decimal count.
  size_t SignedIntegerWidth() const;
  // Appends "-1234.50" with `decimals` digits after the point (at least as many as the value has).
  void AppendFormatted(size_t decimals, std::string& out) const;
  std::string Formatted(size_t decimals) const;
};

// What the text alone says about the column's convention (kUnknown when nothing or ambiguous).
// Meaningful only for a text that ReadNumber reads.
DecimalMark MarkShownBy(std::u16string_view text);
// The value of the text read with the column's convention; nullopt when it is not a number.
std::optional<DecimalNumber> ReadNumber(std::u16string_view text, DecimalMark columnMark);

// Everything a number column's statistics ask of one value, from a single pass over it: the mark
// it shows and its value under each column convention (indexed by DecimalMark).
struct NumberReadings {
  DecimalMark shown = DecimalMark::kUnknown;
  std::optional<DecimalNumber> byColumnMark[3];
};
NumberReadings ReadNumberEachWay(std::u16string_view text);

}  // namespace deep
