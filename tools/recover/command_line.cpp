#include "command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "qrx/qrx.h"

namespace {

constexpr char kDescription[] =
    "Recovers the tables of a damaged FileMaker Pro database (.fp5 or .fp7) into dBase tables "
    "(.dbf with .dbt memo files) and stored files in TARGET_DIR, and prints the recovery report. "
    "Files are recovered deeply by default: every page (fp7) or block (fp5) read on its own, typed "
    "tables named after their tables (fp5: after the file). Given several sources, each is "
    "recovered into a folder of its own in TARGET_DIR, named after it, and a summary of all of "
    "them is printed.";

constexpr char kExitStatus[] =
    "Exit status: 0 recovered; 1 the recovery failed; 2 wrong command line, a log that cannot be\n"
    "written or a target folder that already holds files; 3 the source cannot be opened;\n"
    "4 nothing to recover; 5 a result file could not be written; 130 stopped (Ctrl-C).\n"
    "With several sources: the most serious status of them all.";

std::string VersionText() {
  return std::string("qrx-recover ") + QRX_VERSION_TEXT + " (library interface " +
         std::to_string(GetDllVersion()) + ")";
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(std::vector<std::string> args, int& exitStatus) {
  CommandLine line;
  CLI::App app(kDescription, "qrx-recover");
  app.footer(kExitStatus);
  // A path may begin with '/' on Windows too; CLI11 would take it for an option there.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", VersionText());
  app.add_option("--log", line.logPath, "append a detailed diagnostic log to FILE")
      ->type_name("FILE")
      ->check([](const std::string& path) {
        return path.empty() ? std::string("--log needs a file name") : std::string();
      });
  app.add_flag("--host-strings", line.hostStrings,
               "have the library send resource keys, translated here by ktcmn");
  app.add_flag("--json", line.json, "print the report as one JSON object on standard output");
  app.add_flag("--force", line.force,
               "recover into a target folder that already holds files (the files replaced and "
               "kept are listed at the end)");
  app.add_flag("--classic", line.classic,
               "recover as the classic library does (8.3 table names, texts in the DOS code page)");
  std::string encoding = "windows-1252";
  app.add_option("--encoding", encoding, "the code page of the deep recovery's tables")
      ->check(CLI::IsMember({"windows-1252", "utf-8"}))
      ->capture_default_str();
  std::vector<std::string> formats{"dbf"};
  app.add_option("--format", formats,
                 "the formats to write, any of dbf, sqlite (one database holding every table) and "
                 "csv (one UTF-8 file per table), separated by commas (deep recovery)")
      ->delimiter(',')
      ->check(CLI::IsMember({"dbf", "sqlite", "csv"}))
      ->capture_default_str();
  app.add_flag("--csv-bom", line.csvByteOrderMark,
               "begin each CSV file with a UTF-8 byte order mark (for spreadsheets)");
  app.add_flag("--list", line.list,
               "print what a deep recovery of SOURCE would write (tables, columns with their "
               "types, rows, stored objects, damaged pages) and write nothing; no TARGET_DIR");
  app.add_option("SOURCE", line.sources, "the damaged database file, or several")
      ->required()
      ->expected(1, -1);
  // CLI11 gives every positional to SOURCE; the last one is the target folder.
  app.add_option("TARGET_DIR", line.target,
                 "the folder to write into, always the last argument (made if missing)");
  try {
    // CLI11 takes the arguments last first.
    std::reverse(args.begin(), args.end());
    app.parse(args);
    if (line.list) {
      if (line.sources.size() != 1) throw CLI::ValidationError("--list", "takes one SOURCE only");
      if (line.classic) throw CLI::ValidationError("--list", "lists a deep recovery only");
    } else {
      if (line.sources.size() < 2) throw CLI::RequiredError("TARGET_DIR");
      line.target = line.sources.back();
      line.sources.pop_back();
    }
    line.formats = 0;
    for (const std::string& format : formats) {
      line.formats |= format == "dbf"      ? QRX_FORMAT_DBF
                      : format == "sqlite" ? QRX_FORMAT_SQLITE
                                           : QRX_FORMAT_CSV;
    }
    if ((line.formats & QRX_FORMAT_SQLITE) != 0 && !QRX_HAVE_SQLITE) {
      throw CLI::ValidationError("--format",
                                 "sqlite: this build has no SQLite (it was not found when it was "
                                 "built); choose dbf or csv");
    }
    if (line.classic && line.formats != QRX_FORMAT_DBF) {
      throw CLI::ValidationError("--format", "classic recovery writes dBase tables only");
    }
  } catch (const CLI::ParseError& error) {
    exitStatus = app.exit(error) == 0 ? 0 : 2;
    return std::nullopt;
  }
  line.utf8 = encoding == "utf-8";
  return line;
}
