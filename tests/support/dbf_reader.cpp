#include "support/dbf_reader.h"

#include <cstring>

#include "support/temp_dir.h"

namespace {

// A memo value in either form: the mark FF FF 08 00 and a length, or the dBase III form, the text
// up to 1A 1A.
std::string MemoAt(const std::vector<unsigned char>& dbt, const std::string& pointer) {
  const size_t block = std::stoul(pointer);
  if (dbt.size() < block * 512 + 8) return "<missing memo>";
  const unsigned char* start = dbt.data() + block * 512;
  static const unsigned char kMark[] = {0xFF, 0xFF, 0x08, 0x00};
  if (std::memcmp(start, kMark, sizeof kMark) != 0) {
    const std::string rest(reinterpret_cast<const char*>(start), dbt.data() + dbt.size() - start);
    const size_t end = rest.find("\x1A\x1A");
    return end == std::string::npos ? "<unended memo>" : rest.substr(0, end);
  }
  const uint32_t length = start[4] | start[5] << 8 | start[6] << 16 | uint32_t{start[7]} << 24;
  return std::string(reinterpret_cast<const char*>(start + 8), length - 8);
}

}  // namespace

DbfTable ReadDbf(const std::filesystem::path& dbfPath) {
  const std::vector<unsigned char> dbf = ReadFileBytes(dbfPath);
  std::filesystem::path dbtPath = dbfPath;
  dbtPath.replace_extension(".dbt");
  const std::vector<unsigned char> dbt =
      std::filesystem::exists(dbtPath) ? ReadFileBytes(dbtPath) : std::vector<unsigned char>{};
  DbfTable table;
  if (dbf.size() < 33) return table;
  table.declaredRows = dbf[4] | dbf[5] << 8 | dbf[6] << 16 | uint32_t{dbf[7]} << 24;
  const size_t headerLength = dbf[8] | dbf[9] << 8;
  const size_t recordLength = dbf[10] | dbf[11] << 8;
  for (size_t at = 32; at + 32 <= headerLength && dbf[at] != 0x0D; at += 32) {
    table.names.emplace_back(reinterpret_cast<const char*>(&dbf[at]),
                             strnlen(reinterpret_cast<const char*>(&dbf[at]), 11));
    table.types += static_cast<char>(dbf[at + 11]);
    table.widths.push_back(dbf[at + 16]);
  }
  for (size_t at = headerLength; recordLength > 0 && at + recordLength <= dbf.size();
       at += recordLength) {
    std::vector<std::string> row;
    size_t field = at + 1;
    for (size_t i = 0; i < table.widths.size(); ++i) {
      std::string value(reinterpret_cast<const char*>(&dbf[field]), table.widths[i]);
      value.erase(value.find_last_not_of(' ') + 1);
      if (table.types[i] == 'M' && !value.empty()) value = MemoAt(dbt, value);
      row.push_back(value);
      field += table.widths[i];
    }
    table.rows.push_back(row);
  }
  return table;
}

std::map<std::string, DbfTable> ReadDbfFolder(const std::filesystem::path& folder) {
  std::map<std::string, DbfTable> tables;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".dbf") {
      tables[entry.path().filename().string()] = ReadDbf(entry.path());
    }
  }
  return tables;
}
