// What the command-line host needs of the operating system.
#pragma once

#include <string>
#include <vector>

// The program's arguments after its name, in UTF-8 (Windows hands them over in UTF-16).
std::vector<std::string> Arguments(int argc, char** argv);
// The file-name suffix of a loadable module (".so", ".dll").
extern const char kModuleSuffix[];
// Whether standard error is a terminal (the progress bar is redrawn in place there).
bool StderrIsTerminal();
// The terminal's width in columns, or 80.
int TerminalWidth();
// Calls `onInterrupt` at the first Ctrl-C; a second one ends the program at once.
void OnFirstInterrupt(void (*onInterrupt)());
// The folder of the running executable, with a trailing separator.
std::string ExecutableFolder();
// Makes sure `folder` exists (creating missing parents) and can be written to; otherwise returns
// false with the reason in `error`.
bool PrepareTargetFolder(const std::string& folder, std::string& error);
// Loads a module and resolves one function; null when either fails.
void* LoadModuleFunction(const std::string& path, const char* name);
