// Names read from a damaged file (table names, the stored names of container objects) become file
// names inside the target folder. Whatever the bytes say, the result is one plain file name: no
// folder steps, no separators, no characters that a file system refuses.
#pragma once

#include <string>
#include <string_view>

// `name` reduced to a plain file name: only its last path component is kept; control characters
// and < > : " / \ | ? * are dropped; leading blanks and trailing blanks and dots are trimmed; a
// device name (CON, NUL, COM1, ...) and a name starting with '.' (a hidden file, a dotfile such as
// .bashrc) get a leading '_'; at most `maxUnits` UTF-16 units are kept,
// the extension preserved where it fits. When nothing usable is left ("", ".", ".."), `fallback`
// is returned (it must itself be a plain file name).
std::u16string SafeFileName(std::u16string_view name, std::u16string_view fallback,
                            size_t maxUnits = 128);
