// A value as the Unicode outputs (SQLite, CSV) write it, from the same field plan as its dBase
// field: numbers as their exact decimal text, dates as YYYY-MM-DD, times as HH:MM:SS and
// timestamps as "YYYY-MM-DD HH:MM:SS" when they read as such, every other value as its text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "deep/column_typing.h"

namespace deep {

// How one column's values are written: its definition, its plan, and the table's order of day
// and month (which also reads the dates of its timestamps; kEitherOrder when its date columns
// leave it open, and then only timestamps whose date reads alike in both orders are rewritten).
struct TypedColumn {
  ColumnKind kind = ColumnKind::kText;
  FieldPlan plan;
  DayMonthOrder tableOrder = kEitherOrder;
};

// The value in UTF-8; nullopt for no value (and for a blank value of an N or D field).
std::optional<std::string> TypedText(std::u16string_view value, const TypedColumn& column);
// "HH:MM:SS" of a time of day written "H:MM", "H:MM:SS" or either with AM/PM.
std::optional<std::string> TimeOfDay(std::u16string_view text);

}  // namespace deep
