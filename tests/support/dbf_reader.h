// Reads back the dBase tables the library writes, for tests: field names, types and widths, and
// the rows present in the file, memo fields resolved from the .dbt beside the .dbf.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// A written table; each field value with its trailing blanks cut.
struct DbfTable {
  uint32_t declaredRows = 0;
  std::vector<std::string> names;
  std::string types;
  std::vector<unsigned> widths;
  std::vector<std::vector<std::string>> rows;
};

// Only whole records are read. Memo values are read from dBase IV (version 0x8B) or dBase III
// (0x83) memo files; a memo pointer to a block the .dbt lacks reads "<missing memo>".
DbfTable ReadDbf(const std::filesystem::path& dbfPath);

// Every table of a folder (each .dbf with its .dbt), by file name.
std::map<std::string, DbfTable> ReadDbfFolder(const std::filesystem::path& folder);
