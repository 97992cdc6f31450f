// What an independent reader reads from the real samples (samples/real/expected), and how a
// written table is held against it: row for row in record order, each value compared after the
// reader's own normalisation and as the written field's type reads it.
#pragma once

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "deep/field_names.h"
#include "platform/text.h"
#include "support/dbf_reader.h"
#include "support/real_samples.h"

using Row = std::map<std::string, std::string>;  // by column name

struct ExpectedTable {
  std::string name;
  std::vector<std::string> columns;
  std::vector<Row> rows;
};

inline std::vector<ExpectedTable> Expected(const std::string& sample) {
  std::ifstream in(RealSample("expected/" + sample + ".json"));
  const nlohmann::json json = nlohmann::json::parse(in);
  std::vector<ExpectedTable> tables;
  for (const auto& table : json) {
    ExpectedTable expected{table["name"], {}, {}};
    for (const auto& column : table["columns"]) expected.columns.push_back(column["name"]);
    for (const auto& values : table["values"]) {
      Row row;
      for (const auto& [column, value] : values.items()) row[column] = value;
      expected.rows.push_back(std::move(row));
    }
    tables.push_back(std::move(expected));
  }
  return tables;
}

// How the independent reader gives texts: fp7 texts with TAB as a blank and CR, CR LF and VT as
// LF; fp5 texts as stored.
enum class ReaderText { kFp7, kFp5 };

// The independent reader strips leading blanks (and changes fp7 line breaks); a dBase field loses
// trailing blanks.
inline std::string Normalised(const std::string& value, ReaderText text) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (text == ReaderText::kFp5) {
      out += c;
    } else if (c == '\t') {
      out += ' ';
    } else if (c == '\r') {
      out += '\n';
      if (i + 1 < value.size() && value[i + 1] == '\n') ++i;
    } else if (c == '\v') {
      out += '\n';
    } else {
      out += c;
    }
  }
  out.erase(0, out.find_first_not_of(' '));
  out.erase(out.find_last_not_of(' ') + 1);
  return out;
}

// A number's display text read in either separator convention (the last separator is the
// decimal one), blanks ignored; nullopt when it is no number.
inline std::optional<long double> NumberOf(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  const size_t lastComma = text.rfind(',');
  const size_t lastPoint = text.rfind('.');
  const char decimal =
      lastComma != std::string::npos && (lastPoint == std::string::npos || lastComma > lastPoint)
          ? ','
          : '.';
  std::string plain;
  for (const char c : text) {
    if (c == decimal) {
      plain += '.';
    } else if (c != ',' && c != '.') {
      plain += c;
    }
  }
  try {
    size_t used = 0;
    const long double value = std::stold(plain, &used);
    return used == plain.size() ? std::optional<long double>(value) : std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Whether a written value stands for the stored display text, given the field's type.
inline bool Same(char type, const std::string& written, const std::string& stored,
                 ReaderText text) {
  const std::string expected = Normalised(stored, text);
  if (type == 'N') {
    const std::optional<long double> a = NumberOf(Normalised(written, text));
    const std::optional<long double> b = NumberOf(expected);
    return a && b && std::fabs(*a - *b) <= 1e-9L * std::max(1.0L, std::fabs(*b));
  }
  if (type == 'D') {
    // dd/mm/yyyy or mm/dd/yyyy, whichever order the table was read in.
    const size_t first = expected.find_first_of("/.-");
    const size_t second = expected.find_first_of("/.-", first + 1);
    if (first == std::string::npos || second == std::string::npos) return false;
    const auto two = [](std::string part) { return part.size() == 1 ? "0" + part : part; };
    const std::string a = two(expected.substr(0, first));
    const std::string b = two(expected.substr(first + 1, second - first - 1));
    const std::string year = expected.substr(second + 1);
    return written == year + b + a || written == year + a + b;
  }
  return Normalised(written, text) == expected;
}

// Rows of `expected` that the written table holds, row for row in record order, and a message for
// each that differs. With `beyondReader`, a written value where the reader has none is allowed
// and counted by column (the reader misses some fp5 long values); else it is a difference.
inline size_t MatchingRows(const ExpectedTable& expected, const DbfTable& written,
                           std::vector<std::string>& differences,
                           ReaderText text = ReaderText::kFp7,
                           std::map<std::string, size_t>* beyondReader = nullptr) {
  std::vector<std::u16string> wide;
  for (const std::string& column : expected.columns)
    wide.push_back(qrx::platform::FromUtf8(column));
  const std::vector<std::string> fields = deep::DbfFieldNames(wide);
  size_t matching = 0;
  for (size_t r = 0; r < expected.rows.size(); ++r) {
    bool same = r < written.rows.size();
    for (size_t c = 0; c < expected.columns.size() && same; ++c) {
      const auto value = expected.rows[r].find(expected.columns[c]);
      const auto field = std::find(written.names.begin(), written.names.end(), fields[c]);
      if (field == written.names.end()) {
        same = value == expected.rows[r].end();
        continue;
      }
      const size_t at = static_cast<size_t>(field - written.names.begin());
      if (value != expected.rows[r].end()) {
        same = Same(written.types[at], written.rows[r][at], value->second, text);
      } else if (!Normalised(written.rows[r][at], text).empty()) {
        same = beyondReader != nullptr;
        if (same) ++(*beyondReader)[expected.columns[c]];
      }
    }
    if (same) {
      ++matching;
    } else {
      differences.push_back(expected.name + " row " + std::to_string(r + 1));
    }
  }
  return matching;
}
