// dBase field names for the columns of a table. dBase readers take at most 10 characters of
// A-Z a-z 0-9 _, starting with a letter, and compare names without regard to case.
#pragma once

#include <string>
#include <vector>

namespace deep {

// One field name per column name, unique within the table (in any case):
//  - Latin-1 letters lose their accents (e -> e, ss for sharp s), every other character that a
//    field name cannot hold becomes '_', runs of '_' are joined and '_' at either end dropped;
//  - a name that does not start with a letter gets an 'F' in front; one with nothing left
//    becomes "Field_<column number>";
//  - names that fit as they are keep them; the others (cut to 10, or taken) take the cut form
//    when it is free, else the first free "<cut>_<n>" (n = 1, 2, ...) within 10 characters.
std::vector<std::string> DbfFieldNames(const std::vector<std::u16string>& columnNames);

}  // namespace deep
