#include "dbf/dbase3_memo_file.h"

#include "dbf/dbf_layout.h"

using namespace dbf_layout;

bool Dbase3MemoFile::Create(const std::u16string& finalPath) {
  nextBlock_ = 1;
  uint8_t header[kMemoBlockSize] = {};
  header[kMemoVersionOffset] = kMemoVersionDbase3;
  return file_.Create(finalPath) && file_.Append(header, sizeof header);
}

std::optional<uint32_t> Dbase3MemoFile::Append(std::string_view value) {
  static const uint8_t kPadding[kMemoBlockSize] = {};
  const uint64_t length = value.size() + sizeof kMemoDbase3ValueEnd;
  const uint64_t blocks = (length + kMemoBlockSize - 1) / kMemoBlockSize;
  const size_t padding = static_cast<size_t>(blocks * kMemoBlockSize - length);
  if (blocks > UINT32_MAX - nextBlock_ || !file_.Append(value.data(), value.size()) ||
      !file_.Append(kMemoDbase3ValueEnd, sizeof kMemoDbase3ValueEnd) ||
      !file_.Append(kPadding, padding)) {
    return std::nullopt;
  }
  const uint32_t first = nextBlock_;
  nextBlock_ += static_cast<uint32_t>(blocks);
  return first;
}

bool Dbase3MemoFile::Commit() {
  uint8_t next[4];
  Store32(next, nextBlock_);
  return file_.Overwrite(kMemoNextFreeBlockOffset, next, sizeof next) && file_.Commit();
}
