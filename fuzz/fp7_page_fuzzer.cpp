// Feeds arbitrary pages to the fp7 page engine. The input is the file behind its two leading
// pages (so every input byte lands in a page); each page is decoded, every text made, the path
// tree walked from the first indices and from the paths the page itself opens, then the catalogue
// tests and the dump run over the whole file.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "diag/log.h"
#include "engine/file_connector.h"
#include "engine/fp7_engine.h"
#include "support/temp_dir.h"

namespace {

constexpr size_t kFileStart = 8192;
constexpr uint16_t kIndicesWalked = 24;  // keeps the walks linear in the page size

// Reads every byte a value hands out, so that a value pointing past its bytes shows up.
uint32_t Touch(const CFMValue& value) {
  uint32_t sum = 0;
  if (value.m_pText != nullptr) {
    for (uint32_t i = 0; i <= value.m_dwLength; ++i) sum += static_cast<uint8_t>(value.m_pText[i]);
  }
  if (value.m_pRaw != nullptr) {
    for (uint32_t i = 0; i <= value.m_dwLength; ++i) sum += value.m_pRaw[i];
  }
  if (value.m_pKeyBytes != nullptr)
    sum += static_cast<uint32_t>(std::string(value.m_pKeyBytes).size());
  return sum;
}

uint32_t WalkFrom(CFMEngine& engine, uint16_t index) {
  uint32_t sum = static_cast<uint32_t>(engine.GetSubPaths(index).size() +
                                       engine.GetChildren(index, false).size() +
                                       engine.GetChildren(index, true).size());
  for (const bool withSubPaths : {false, true}) {
    for (const bool binary : {false, true}) {
      std::optional<CFMNode> node = engine.GetNode(index, withSubPaths, binary);
      if (!node) continue;
      for (const CFMValue& value : node->m_Values) sum += Touch(value);
      CFMEngine::FreeNode(*node);
    }
  }
  return sum;
}

uint32_t ExercisePage(CFMEngine& engine) {
  engine.ParsePage();
  uint32_t sum = 0;
  std::vector<uint32_t> opened;  // the ids of the page's first pushes
  for (CFMChunk* chunk : engine.GetChunks()) {
    if (const char* text = engine.GetText(*chunk))
      sum += static_cast<uint32_t>(std::string(text).size());
    if (chunk->IsPush() && opened.size() < 3) opened.push_back(chunk->m_dwId);
  }
  for (size_t depth = 1; depth <= opened.size(); ++depth) {
    const uint16_t found = engine.FindPath(std::span<const uint32_t>(opened.data(), depth));
    if (found != CFMEngine::kNotFound) sum += WalkFrom(engine, found);
  }
  sum += engine.FindPath({3, 16, 5}) + engine.FindPath({});
  for (uint16_t index = 0; index < kIndicesWalked; ++index) sum += WalkFrom(engine, index);
  sum += WalkFrom(engine, CFMEngine::kNotFound);
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TempDir dir;
  static const std::filesystem::path path = dir / "input.fp7";
  static const bool logOpen = [] {
    g_Log.Open("/dev/null", false);  // the dump's lines are formatted, then dropped
    return true;
  }();
  (void)logOpen;
  std::vector<uint8_t> file(kFileStart, 0);
  file.insert(file.end(), data, data + size);
  WriteFileBytes(path, file);

  CFileConnector source;
  if (source.OpenSource(Utf16(path).c_str()) != 0) return 0;
  CFMEngine engine;
  if (!engine.Connect(&source)) return 0;
  volatile uint32_t sink = 0;
  for (; engine.m_nCurrentPage < engine.m_nPageCount; engine.NextPage()) {
    if (engine.ReadPage()) sink = sink + ExercisePage(engine);
  }
  for (engine.m_nCurrentPage = 2; engine.m_nCurrentPage < engine.m_nPageCount; engine.NextPage()) {
    if (engine.ReadPage()) sink = sink + engine.IsTablesCatalogue() + engine.IsFieldsCatalogue();
  }
  engine.m_nCurrentPage = 2;
  if (engine.ReadPage()) {
    engine.DumpAllPages(true);
    engine.m_nCurrentPage = 2;
    engine.DumpAllPages(false);
  }
  return 0;
}
