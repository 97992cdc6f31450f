// The header of a dBase table and its field descriptors, shared by the table writers.
#pragma once

#include <cstdint>
#include <string_view>

#include "dbf/dbf_layout.h"

namespace dbf_layout {

// Fills the 32-byte table header: all zero but the version, the record count, the header length
// (header, descriptors and terminator) and the record length (`recordLength` includes the
// deletion flag). The date is left to StampToday.
void FillTableHeader(uint8_t* header, uint8_t version, uint32_t recordCount, uint32_t fieldCount,
                     uint32_t recordLength);
// Writes today's date into the header.
void StampToday(uint8_t* header);
// Fills a 32-byte field descriptor: the name (at most 10 bytes, zero-padded), the type letter,
// the width and the decimal count; everything else zero.
void FillFieldDescriptor(uint8_t* descriptor, std::string_view name, char type, uint8_t width,
                         uint8_t decimals);

}  // namespace dbf_layout
