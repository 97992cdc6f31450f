// The short (8.3) name of a file, under which the table writer names its .dbf and .dbt files.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace qrx::platform {

// The short form of the path of an existing file: its folder, a base name of at most 8 characters
// and its extension. On Windows a base name that does not fit is the one the file system gave the
// file (GetShortPathNameW); POSIX has no short names, and neither has a Windows volume with their
// making switched off, so there the base name is made up here:
//  - a base name that fits (at most 8 characters, each an ASCII letter, a digit or one of
//    ! # $ % & ' ( ) - @ ^ _ ` { } ~) is kept as it is;
//  - any other becomes its first allowed characters in upper case, "~" and the smallest N >= 1
//    that leaves the name free, cut so that the whole stays within 8 characters (CUSTOM~1,
//    CUSTO~10). Free means that no entry of the folder is named <name>.dbf, in any case, since
//    the table file is what the name is for;
//  - a base name without any allowed character takes "TABLE" in their place (TABLE~1).
// The folder and the extension come back unchanged.
std::u16string ShortPathName(const std::u16string& existingPath);

// Whether a name fits a short name as it is: at most 8 allowed characters.
bool FitsShortName(std::u16string_view name);
// Whether no entry of `folder` is named `base` followed by one of `extensions`, in any case.
bool IsShortBaseFree(const std::u16string& folder, std::u16string_view base,
                     std::initializer_list<std::u16string_view> extensions);
// The numbered short base (STEM~N) of `name` with the smallest N that is free with every one of
// `extensions`, made as described above.
std::u16string FreeNumberedShortBase(const std::u16string& folder, std::u16string_view name,
                                     std::initializer_list<std::u16string_view> extensions);

}  // namespace qrx::platform
