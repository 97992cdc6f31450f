#include "dbf/field_shape.h"

#include <algorithm>

#include "dbf/dbf_layout.h"

namespace {

constexpr uint32_t kLargestCharacterWidth = 254;
constexpr uint8_t kDateWidth = 8;
constexpr uint8_t kLogicalWidth = 1;
constexpr uint8_t kMemoWidth = dbf_layout::kMemoPointerWidth;

}  // namespace

std::optional<DbfFieldShape> ShapeOfField(char givenType, uint32_t givenWidth) {
  switch (givenType) {
    case 'C':
      if (givenWidth > kLargestCharacterWidth) return DbfFieldShape{'M', kMemoWidth};
      return DbfFieldShape{'C', static_cast<uint8_t>(givenWidth)};
    case 'N':
      return DbfFieldShape{
          'N', static_cast<uint8_t>(std::min(givenWidth, dbf_layout::kLargestFieldWidth))};
    case 'D':
      return DbfFieldShape{'D', kDateWidth};
    case 'L':
      return DbfFieldShape{'L', kLogicalWidth};
    case 'M':
    case 'B':
    case 'G':
      return DbfFieldShape{givenType, kMemoWidth};
    default:
      return std::nullopt;
  }
}
