// Runs the fp5 page scan over any bytes: the input becomes the pages of an fp5 file behind a
// zeroed 4096-byte start, and the engine walks them as the fp5 parser does, then hands out its
// lists. A read or write outside the page buffer, a hang or a leak is a finding.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/fp5_engine.h"
#include "support/fp5_builder.h"
#include "support/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TempDir dir;
  static const std::filesystem::path path = dir / "input.fp5";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string start(fp5build::kStartSize, '\0');
    out.write(start.data(), static_cast<std::streamsize>(start.size()));
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  CFileConnector source;
  if (source.OpenSource(path.u16string().c_str()) != 0) return 0;
  CFM5 engine;
  if (!engine.Connect(&source)) return 0;
  while (!engine.IsEndOfFile()) {
    engine.ReadPage();
    engine.ParsePage();
    engine.NextPage();
  }
  size_t textBytes = 0;
  for (const CFM5Item* item : engine.GetFieldItems()) {
    textBytes +=
        std::char_traits<char>::length(item->m_szText) + engine.GetColumnType(item->m_nColumn);
  }
  for (const CFM5LongPiece* piece : engine.GetLongTextPieces()) textBytes += piece->m_nLength;
  return textBytes == SIZE_MAX ? 1 : 0;  // keeps the reads from being optimised away
}
