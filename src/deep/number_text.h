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

// An exact decimal value.
struct DecimalNumber {
  bool negative = false;       // never set for zero
  std::string integerDigits;   // without leading zeros; empty for 0
  std::string fractionDigits;  // as written, trailing zeros kept
  // Characters of the value in a dBase N field with its own decimal count.
  size_t SignedIntegerWidth() const;
  // "-1234.50" with `decimals` digits after the point (at least as many as the value has).
  std::string Formatted(size_t decimals) const;
};

// What the text alone says about the column's convention (kUnknown when nothing or ambiguous).
// Meaningful only for a text that ReadNumber reads.
DecimalMark MarkShownBy(std::u16string_view text);
// The value of the text read with the column's convention; nullopt when it is not a number.
std::optional<DecimalNumber> ReadNumber(std::u16string_view text, DecimalMark columnMark);

}  // namespace deep
