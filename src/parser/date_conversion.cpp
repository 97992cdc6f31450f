#include "parser/date_conversion.h"

namespace {

constexpr size_t kShortestDate = 5;
constexpr size_t kFourDigitYear = 4;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string TwoDigitComponent(std::string_view component) {
  if (component.size() == 1) return std::string("0") + component[0];
  return std::string(component.substr(0, 2));
}

}  // namespace

std::optional<std::string> ReorderedDate(std::string_view text) {
  if (text.size() < kShortestDate) return std::nullopt;
  const char fifthFromEnd = text[text.size() - 5];
  const bool fourDigitYear = !IsDigit(fifthFromEnd);
  const char separator = fourDigitYear ? fifthFromEnd : text[text.size() - 3];
  if (IsDigit(separator)) return std::nullopt;

  const size_t first = text.find(separator);
  const size_t second = first == std::string_view::npos ? first : text.find(separator, first + 1);
  if (second == std::string_view::npos) return std::nullopt;

  const std::string_view yearText = text.substr(second + 1);
  const std::string year = fourDigitYear ? std::string(yearText.substr(0, kFourDigitYear))
                                         : "19" + std::string(yearText);
  return year + TwoDigitComponent(text.substr(first + 1, second - first - 1)) +
         TwoDigitComponent(text.substr(0, first));
}
