// The command line of qrx-recover.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CommandLine {
  std::string logPath;       // --log FILE
  bool hostStrings = false;  // --host-strings
  bool json = false;         // --json
  bool help = false;         // --help
  bool version = false;      // --version
  std::string source;
  std::string target;
};

// Parses the arguments after the program name. On a wrong command line returns nothing and puts
// the reason in `error`.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

extern const char kUsage[];
