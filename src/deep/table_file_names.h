// Names of the files of a deep table: the table's own name reduced to a plain file name, with
// ".dbf", ".dbt" and ".cpg" beside each other under one base name that is free for all three.
#pragma once

#include <initializer_list>

#include <string>
#include <string_view>

namespace deep {

// The table name as a plain file name ("Table" when nothing of it is usable), cut so that every
// file of the table, temporary names included, stays within the path limit below `folder`
// (which ends with a separator). Empty when the folder leaves no room.
std::u16string TableBaseName(const std::u16string& folder, std::u16string_view tableName);
// `base`, or the first of "<base>_2", "<base>_3", ... for which no entry of `folder` is named
// <name> with one of `extensions` (upper case; the dBase ones by default) in any case.
std::u16string FreeTableBase(const std::u16string& folder, const std::u16string& base,
                             std::initializer_list<std::u16string_view> extensions = {
                                 u".DBF", u".DBT", u".CPG"});
// The name of the source file without its folder and extension ("Table" when that leaves nothing).
std::u16string SourceStem(std::u16string_view sourcePath);

}  // namespace deep
