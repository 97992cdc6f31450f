// Puts built fp7 bytes in front of a CFMEngine: one data area straight into its page buffer, or a
// whole file read through a connector.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/file_connector.h"
#include "engine/fp7_engine.h"
#include "support/fp7_builder.h"
#include "support/temp_dir.h"

// The page buffer as ReadPage leaves it for a page holding `data`.
inline void LoadData(CFMEngine& engine, const fp7::Bytes& data) {
  const fp7::Bytes page = fp7::MakePageWithCount(data, static_cast<uint16_t>(4076 - data.size()));
  std::memcpy(engine.m_pPage, page.data(), page.size());
  engine.m_nDataLength = static_cast<uint16_t>(data.size());
}
inline void ParseData(CFMEngine& engine, const fp7::Bytes& data) {
  LoadData(engine, data);
  engine.ParsePage();
}

// Kinds and ids of the chunk list, e.g. "push 3, push 16, kv 16, pop".
inline std::string Describe(const CFMEngine& engine) {
  std::string out;
  for (const CFMChunk* chunk : engine.GetChunks()) {
    if (!out.empty()) out += ", ";
    if (chunk->IsPush()) out += "push " + std::to_string(chunk->m_dwId);
    if (chunk->IsPop()) out += "pop";
    if (chunk->IsKeyValue()) out += "kv " + std::to_string(chunk->m_dwId);
    if (chunk->m_pKeyBytes != nullptr) out += std::string(" '") + chunk->m_pKeyBytes + "'";
  }
  return out;
}

// The chunk list of a fresh engine that parsed `data`.
inline std::string Decoded(const fp7::Bytes& data) {
  CFMEngine engine;
  ParseData(engine, data);
  return Describe(engine);
}

// An fp7 file in a temporary folder, opened and connected to `engine`.
class Fp7FileFixture : public ::testing::Test {
 protected:
  void Open(const fp7::Bytes& file) {
    WriteFileBytes(dir / "db.fp7", file);
    ASSERT_EQ(source.OpenSource(Utf16(dir / "db.fp7").c_str()), 0);
    ASSERT_TRUE(engine.Connect(&source));
  }

  TempDir dir;
  CFileConnector source;
  CFMEngine engine;
};
