// How a column handed to the table writer becomes a field of the table: the type letter of its
// descriptor and its width in every record. The writer declares its fields this way, and its
// client uses the same rule to compute the record length it announces.
#pragma once

#include <cstdint>
#include <optional>

struct DbfFieldShape {
  char type;      // the letter in the field descriptor
  uint8_t width;  // bytes of the field in each record
};

// 'C' up to width 254 keeps its width and from 255 on becomes a memo field; 'N' keeps its width,
// held to the 255 that a descriptor can carry; 'D' is 8 wide, 'L' 1; the memo-like 'M', 'B' and
// 'G' are 10 wide (the block number). Any other letter gives no field.
std::optional<DbfFieldShape> ShapeOfField(char givenType, uint32_t givenWidth);
