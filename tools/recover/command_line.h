// The command line of qrx-recover, parsed with CLI11: its help text, version and error messages
// follow that library's conventions. Each option is declared once, in ParseCommandLine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CommandLine {
  std::string logPath;               // --log FILE
  bool hostStrings = false;          // --host-strings
  bool json = false;                 // --json
  bool force = false;                // --force
  bool classic = false;              // --classic
  bool utf8 = false;                 // --encoding utf-8
  uint32_t formats = 1;              // --format, as QRX_FORMAT_ bits
  bool csvByteOrderMark = false;     // --csv-bom
  bool list = false;                 // --list: SOURCE only, nothing written
  std::vector<std::string> sources;  // one or more
  std::string target;
};

// Parses the arguments after the program's name, in UTF-8. For --help and --version, and for a
// wrong command line, prints what CLI11 prints and returns nothing, with the program's exit status
// in `exitStatus` (0, or 2 for a wrong command line).
std::optional<CommandLine> ParseCommandLine(std::vector<std::string> args, int& exitStatus);
