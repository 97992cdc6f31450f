// One output of a table beside its dBase files (a CSV file, a table of the SQLite database):
// it gets the table's columns with the types decided for them, then every row as UTF-8 texts
// (TypedText), then is ended or discarded. The first failure is kept with its reason; every later
// call then does nothing.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "deep/typed_text.h"

namespace deep {

struct OutputColumn {
  std::u16string name;  // the full column name as stored
  TypedColumn typed;
  bool exactText = false;  // N: some value has more digits than a double keeps
};

class TableOutput {
 public:
  virtual ~TableOutput() = default;
  virtual bool Begin(const std::vector<OutputColumn>& columns) = 0;
  virtual bool AddRow(std::span<const std::optional<std::string>> values) = 0;
  // Completes the output; the names of the files it made in the target folder go to `files`.
  virtual bool End(std::vector<std::u16string>& files) = 0;
  // Drops what was written of the table.
  virtual void Discard() = 0;
  // The file and the reason of the first failure.
  virtual std::string Failure() const = 0;
};

}  // namespace deep
