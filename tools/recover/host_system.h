// What the command-line host needs of the operating system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The program's arguments after its name, in UTF-8 (Windows hands them over in UTF-16).
std::vector<std::string> Arguments(int argc, char** argv);
// The file-name suffix of a loadable module (".so", ".dll").
extern const char kModuleSuffix[];
// The characters that separate folders in a path, the one used to join paths first.
extern const char16_t kPathSeparators[];
// Whether standard error is a terminal (the progress bar is redrawn in place there).
bool StderrIsTerminal();
// The terminal's width in columns, or 80.
int TerminalWidth();
// Calls `onInterrupt` at the first Ctrl-C; a second one ends the program at once.
void OnFirstInterrupt(void (*onInterrupt)());
// The folder of the running executable, with a trailing separator.
std::string ExecutableFolder();
// The folder of the loaded module that holds `function`, with a trailing separator.
std::string ModuleFolderOf(const void* function);
// Loads a module and resolves one function; null when either fails.
void* LoadModuleFunction(const std::string& path, const char* name);

// The checks below create nothing. Each gives the reason in plain words (the system's own where
// there is one: "no such file or directory", "permission denied"), or an empty text when all is
// well.
// Why the source cannot be opened and read.
std::string WhySourceCannotBeRead(const std::string& path);
// Why a log cannot be appended to `path` (or created there).
std::string WhyLogCannotBeWritten(const std::string& path);
// Why `folder` cannot be the target folder, as it is or once made in the folder above it.
std::string WhyTargetCannotBeUsed(const std::string& folder);

// Makes `folder` (not the folders above it) unless it is there; the reason when that fails.
std::string MakeFolder(const std::string& folder);

// An entry of a folder, with what tells a file from the one that replaced it under its name.
struct FolderEntry {
  std::string name;
  bool isFile = false;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t changedNanoseconds = 0;  // status change: set anew when a file is created
};
// What a folder holds (nothing when it is missing), sorted by name.
std::vector<FolderEntry> ListFolder(const std::string& folder);
