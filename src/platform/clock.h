// Local wall-clock time.
#pragma once

namespace qrx::platform {

struct LocalTime {
  int year;    // e.g. 2026
  int month;   // 1 to 12
  int day;     // 1 to 31
  int hour;    // 0 to 23
  int minute;  // 0 to 59
  int second;  // 0 to 59
};

LocalTime Now();

}  // namespace qrx::platform
