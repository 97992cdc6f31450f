#include "dbf/dbf_header.h"

#include <algorithm>

#include "platform/clock.h"

namespace dbf_layout {

void FillTableHeader(uint8_t* header, uint8_t version, uint32_t recordCount, uint32_t fieldCount,
                     uint32_t recordLength) {
  std::fill(header, header + kHeaderSize, 0);
  header[kVersionOffset] = version;
  Store32(header + kRecordCountOffset, recordCount);
  Store16(header + kHeaderLengthOffset,
          static_cast<uint16_t>(kDescriptorSize * fieldCount + kHeaderSize + 1));
  Store16(header + kRecordLengthOffset, static_cast<uint16_t>(recordLength));
}

void StampToday(uint8_t* header) {
  const qrx::platform::LocalTime today = qrx::platform::Now();
  header[kDateOffset] = static_cast<uint8_t>(today.year - 1900);
  header[kDateOffset + 1] = static_cast<uint8_t>(today.month);
  header[kDateOffset + 2] = static_cast<uint8_t>(today.day);
}

void FillFieldDescriptor(uint8_t* descriptor, std::string_view name, char type, uint8_t width,
                         uint8_t decimals) {
  std::fill(descriptor, descriptor + kDescriptorSize, 0);
  std::copy_n(name.begin(), std::min(name.size(), kFieldNameLength), descriptor);
  descriptor[kFieldTypeOffset] = static_cast<uint8_t>(type);
  descriptor[kFieldWidthOffset] = width;
  descriptor[kFieldDecimalsOffset] = decimals;
}

}  // namespace dbf_layout
