// A stored object written out as a file of its own in the target folder.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace deep {

// Writes `bytes` as a new file in `folder` (which ends with a separator), named `name` reduced to
// a plain file name ("object" when nothing of it is usable). A file never replaces another: a
// taken name gets "_2", "_3", ... before its extension. The file is written under a temporary
// name and renamed when complete. Returns the name written; empty when it could not be written
// (logged with the file and the system's reason).
std::u16string WriteStoredFile(const std::u16string& folder, std::u16string_view name,
                               std::span<const uint8_t> bytes);

}  // namespace deep
