// Where result files go. Table names and the stored names of container objects come from a
// damaged file; whatever they say, the files made from them land directly in the target folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Paths hold at most this many UTF-16 units, the terminating zero included.
inline constexpr size_t kMaxPathUnits = 260;

// Target folder + separator + the table name reduced to a plain file name (or `fallback` when
// nothing of it is usable) + ".dbf". Empty when there is no target folder or the path would not fit
// kMaxPathUnits; the table writer refuses an empty path.
std::u16string ResultPathFor(std::u16string_view targetDir, std::u16string_view tableName,
                             std::u16string_view fallback);
// The file of a container object beside a table's result: the folder of `resultPath` + the
// object's 8-bit stored name reduced to a plain file name ("Object_<key>" when nothing of it is
// usable). Empty when the result path has no folder or the path would not fit kMaxPathUnits.
std::u16string ContainerPathFor(std::u16string_view resultPath, std::string_view storedName,
                                uint32_t key);
