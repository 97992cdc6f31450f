// Date values of fp5 tables are texts written day first with two separators ("31.12.1999",
// "5/1/99"); a dBase date field holds year, month and day as "YYYYMMDD".
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The date text reordered as year, second component, first component. The separator is the fifth
// character from the end when that is no digit (a four-digit year), else the third from the end
// (a two-digit year, taken as 19xx). A component of one character gets a leading '0', a longer one
// keeps its first two characters, an empty one adds nothing. Nullopt when the text does not follow
// this pattern (a text shorter than five characters, no separator, or only one) and stays as it is.
std::optional<std::string> ReorderedDate(std::string_view text);
