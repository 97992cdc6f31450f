// A dBase table as Perl's XBase module, a reader of its own, reads it: the lines that
// tests/tools/dbf_dump.pl prints (version, fields, record count, every value in hex).
#pragma once

#include <filesystem>
#include <string>

std::string XBaseDump(const std::filesystem::path& table);
