#include "engine/fp7_engine.h"

#include <new>

#include "engine/fp7_byte_reader.h"

namespace {

constexpr uint16_t kFp7PageSize = 4096;
constexpr uint8_t kFp7HeaderSize = 20;
constexpr uint32_t kFp7FirstPage = 2;
// A page of one-byte chunks lists one chunk per data byte; the list never grows past that for a
// page parsed once.
constexpr size_t kChunkListReserve = kFp7PageSize;

}  // namespace

CFMEngine::CFMEngine(const Fp7DecodeRules& rules)
    : CFMCEngine(kFp7PageSize, kFp7HeaderSize, kFp7FirstPage, /*countRequired=*/true),
      rules_(rules) {
  chunks_.reserve(kChunkListReserve);
}

CFMEngine::~CFMEngine() = default;

void CFMEngine::ParsePage() {
  ++m_nParsedPages;
  uint32_t position = 0;
  while (position < m_nDataLength) {
    const size_t origin = m_nHeaderSize + position;
    const Fp7OpcodeRow& row = (*rules_.opcodes)[m_pPage[origin]];
    std::optional<Fp7Undecodable> undecodable;
    uint32_t advance = 1;
    if (row.action == Fp7RowAction::kEndPage) {
      undecodable = Fp7Undecodable::kUnknownOpcode;
    } else {
      Fp7ByteReader reader(m_pPage, kPageBufferSize, origin);
      const Fp7Step step = DecodeChunk(row, reader);
      if (step.result == Fp7StepResult::kPastBuffer) {
        undecodable = Fp7Undecodable::kPastPageBuffer;
      } else {
        if (step.result == Fp7StepResult::kChunk) AppendChunk(step.chunk);
        advance = step.advance;
      }
    }
    if (undecodable) {
      const Fp7StopVerdict verdict = rules_.stopRule(*undecodable, chunks_.size());
      if (verdict.countsAsBroken) ++m_nBrokenPages;
      if (verdict.endsPage) break;
    }
    position += advance;
  }
  MarkLevelEnds();
}

void CFMEngine::AppendChunk(const Fp7DecodedChunk& decoded) {
  void* slot = arena_.Allocate(sizeof(CFMChunk));
  if (slot == nullptr) return;
  auto* chunk = new (slot) CFMChunk;
  chunk->m_nKind = decoded.kind;
  chunk->m_dwId = decoded.id;
  chunk->m_dwLength = decoded.length;
  if (decoded.keyBytes != nullptr) {
    chunk->m_pKeyBytes = reinterpret_cast<const char*>(
        arena_.CopyTerminated(decoded.keyBytes, decoded.keyByteCount));
    if (chunk->m_pKeyBytes == nullptr) return;
  }
  if (decoded.value != nullptr)
    chunk->m_pValue = arena_.CopyTerminated(decoded.value, decoded.length);
  chunks_.push_back(chunk);
}

void CFMEngine::NextPage() {
  CFMCEngine::NextPage();
  chunks_.clear();
  arena_.Reset();
}

const char* CFMEngine::GetText(CFMChunk& chunk) {
  if (chunk.m_pText != nullptr) return chunk.m_pText;
  if (chunk.m_pValue == nullptr || chunk.m_dwLength == 0) return nullptr;
  uint8_t* text = arena_.CopyTerminated(chunk.m_pValue, chunk.m_dwLength);
  if (text == nullptr) return nullptr;
  ::DecodeText(*rules_.textMap, text, chunk.m_dwLength);
  chunk.m_pText = reinterpret_cast<char*>(text);
  return chunk.m_pText;
}

void CFMEngine::DecodeText(uint8_t* buffer, size_t length) const {
  ::DecodeText(*rules_.textMap, buffer, length);
}
