#include "command_line.h"

#include <algorithm>

const char kUsage[] =
    "usage: qrx-recover [--log FILE] [--host-strings] [--json] SOURCE TARGET_DIR\n"
    "       qrx-recover --help | --version\n"
    "\n"
    "Recovers the tables of a damaged FileMaker Pro database (.fp5 or .fp7) into dBase tables\n"
    "(.dbf with .dbt memo files) in TARGET_DIR, and prints the recovery report.\n"
    "\n"
    "  --log FILE      append a detailed diagnostic log to FILE\n"
    "  --host-strings  have the library send resource keys, translated here by ktcmn\n"
    "  --json          print the report as JSON on standard output\n"
    "  --help          show this text\n"
    "  --version       show the version\n"
    "\n"
    "Exit status: 0 recovered; 1 recovery failed; 2 wrong command line; 3 the source cannot be\n"
    "opened; 4 nothing to recover; 5 a result file could not be written; 130 stopped (Ctrl-C).\n";

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
  CommandLine line;
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      operands.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--log") {
      if (i + 1 == args.size()) {
        error = "--log needs a file name";
        return std::nullopt;
      }
      line.logPath = args[++i];
    } else if (arg.rfind("--log=", 0) == 0) {
      line.logPath = arg.substr(6);
      if (line.logPath.empty()) {
        error = "--log needs a file name";
        return std::nullopt;
      }
    } else if (arg == "--host-strings") {
      line.hostStrings = true;
    } else if (arg == "--json") {
      line.json = true;
    } else if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg == "--version") {
      line.version = true;
    } else {
      error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  if (line.help || line.version) return line;
  if (operands.size() != 2) {
    error = operands.size() < 2 ? "SOURCE and TARGET_DIR are required" : "too many arguments";
    return std::nullopt;
  }
  line.source = operands[0];
  line.target = operands[1];
  return line;
}
