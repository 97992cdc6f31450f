// The folder a deep recovery writes into.
#pragma once

#include <string>

namespace deep {

// Creates the target folder when it is missing; false (logged with the reason) when it cannot be.
bool MakeTargetFolder(const std::u16string& targetDir);

}  // namespace deep
