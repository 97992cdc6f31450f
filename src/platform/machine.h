// Facts about the machine for the log's banner. Each is empty where the platform has no such thing
// or the query fails.
#pragma once

#include <optional>
#include <string>

namespace qrx::platform {

std::optional<std::string> CurrentDirectory();
std::optional<std::string> SystemDirectory();
std::optional<std::string> WindowsDirectory();
std::optional<std::string> TempDirectory();
std::optional<std::string> ComputerName();

}  // namespace qrx::platform
