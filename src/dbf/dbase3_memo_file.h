// A dBase III memo file (.dbt) while it is written: 512-byte blocks, block 0 the header with the
// next free block, each value its bytes followed by two end-of-file bytes, padded to whole
// blocks. The value bytes must not hold the end-of-file byte themselves: readers end the value
// there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dbf/result_file.h"

class Dbase3MemoFile {
 public:
  // Creates the file (under a temporary name, see ResultFile) with its header block.
  bool Create(const std::u16string& finalPath);
  // Appends a value; its first block, or nullopt when a write failed.
  std::optional<uint32_t> Append(std::string_view value);
  // Writes the next free block into the header and gives the file its final name.
  bool Commit();
  void Discard() { file_.Discard(); }
  const ResultFile& File() const { return file_; }

 private:
  ResultFile file_;
  uint32_t nextBlock_ = 1;
};
