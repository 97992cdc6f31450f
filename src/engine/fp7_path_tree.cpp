// Navigation over the chunk list of the current page: a push opens a level, a pop closes one (the
// depth never goes below 0), and key/values are the leaves of the open level. Each push knows
// where its level ends (MarkLevelEnds), so a walk over the items directly under a push steps over
// its sub-paths whole: however deeply the pushes nest, it looks only at what lies directly there.
#include <algorithm>
#include <cstring>

#include "engine/fp7_engine.h"

namespace {

// Indices are 16-bit and 0xFFFF means none, so a walk looks at no more chunks than that.
size_t IndexableCount(std::span<CFMChunk* const> chunks) {
  return std::min<size_t>(chunks.size(), CFMEngine::kNotFound);
}

uint32_t DepthAfter(const CFMChunk& chunk, uint32_t depth) {
  if (chunk.IsPush()) return depth + 1;
  if (chunk.IsPop() && depth > 0) return depth - 1;
  return depth;
}

// Lists the indices of the chunks directly under the push at `index` (its key/values and the
// pushes of its sub-paths, up to the pop that closes its level) for which `wanted(chunk)` holds.
// The level of each sub-path is stepped over whole, through its closing pop.
template <class Wanted>
std::vector<uint16_t> DirectChildren(std::span<CFMChunk* const> chunks, size_t index,
                                     Wanted wanted) {
  std::vector<uint16_t> indices;
  const size_t count = IndexableCount(chunks);
  if (index >= count || !chunks[index]->IsPush()) return indices;
  const size_t end = std::min<size_t>(chunks[index]->m_nLevelEnd, count);
  for (size_t i = index + 1; i < end; ++i) {
    const CFMChunk& chunk = *chunks[i];
    if (wanted(chunk)) indices.push_back(static_cast<uint16_t>(i));
    if (chunk.IsPush()) i = chunk.m_nLevelEnd;
  }
  return indices;
}

Fp7HeapArray<char> CopyName(const char* name) {
  const size_t size = std::strlen(name) + 1;
  Fp7HeapArray<char> copy(static_cast<char*>(qrx::heap::Allocate(size)));
  if (copy) std::memcpy(copy.get(), name, size);
  return copy;
}

}  // namespace

uint16_t CFMEngine::FindPath(std::span<const uint32_t> ids) const {
  const size_t wanted = ids.size();
  if (chunks_.empty() || wanted == 0) return kNotFound;
  // The stack of open ids is followed by its depth and by how many of its bottom entries equal
  // the start of `ids`, which is all a comparison with `ids` needs.
  size_t depth = 0;
  size_t matched = 0;
  for (size_t i = 0; i < IndexableCount(chunks_); ++i) {
    if (depth == wanted && matched == wanted) return static_cast<uint16_t>(i - 1);
    const CFMChunk& chunk = *chunks_[i];
    if (chunk.IsPush()) {
      if (matched == depth && matched < wanted && chunk.m_dwId == ids[matched]) ++matched;
      ++depth;
    } else if (chunk.IsPop() && depth > 0) {
      --depth;
      matched = std::min(matched, depth);
    }
  }
  return kNotFound;
}

void CFMEngine::MarkLevelEnds() {
  // The stack of open pushes is threaded through the pushes themselves: while a level is open,
  // its push's m_nLevelEnd names the push open below it, and the pop that closes the level puts
  // its own index there.
  uint16_t top = kNotFound;
  for (size_t i = 0; i < IndexableCount(chunks_); ++i) {
    CFMChunk& chunk = *chunks_[i];
    if (chunk.IsPush()) {
      chunk.m_nLevelEnd = top;
      top = static_cast<uint16_t>(i);
    } else if (chunk.IsPop() && top != kNotFound) {
      CFMChunk& closed = *chunks_[top];
      top = closed.m_nLevelEnd;
      closed.m_nLevelEnd = static_cast<uint16_t>(i);
    }
  }
  while (top != kNotFound) {
    CFMChunk& open = *chunks_[top];
    top = open.m_nLevelEnd;
    open.m_nLevelEnd = kNotFound;
  }
}

std::vector<uint16_t> CFMEngine::GetSubPaths(uint16_t index) const {
  return DirectChildren(chunks_, index, [](const CFMChunk& chunk) { return chunk.IsPush(); });
}

std::vector<uint16_t> CFMEngine::GetChildren(uint16_t index, bool withSubPaths) const {
  if (!withSubPaths) {
    return DirectChildren(chunks_, index, [](const CFMChunk& chunk) { return chunk.IsKeyValue(); });
  }
  // Every push below, at any depth, so every chunk up to the pop that closes the level where the
  // walk began (the level of `index` when it is a push, else the level open just after it).
  std::vector<uint16_t> indices;
  uint32_t depth = 1;
  for (size_t i = size_t{index} + 1; i < IndexableCount(chunks_); ++i) {
    const CFMChunk& chunk = *chunks_[i];
    depth = DepthAfter(chunk, depth);
    if (chunk.IsPush() || (chunk.IsKeyValue() && depth == 1)) {
      indices.push_back(static_cast<uint16_t>(i));
    } else if (depth == 0) {
      break;
    }
  }
  return indices;
}

std::optional<CFMNode> CFMEngine::GetNode(uint16_t index, bool withSubPaths, bool binary) {
  if (index >= chunks_.size()) return std::nullopt;
  const std::vector<uint16_t> children = GetChildren(index, withSubPaths);
  if (children.empty()) return std::nullopt;
  const CFMChunk& push = *chunks_[index];
  CFMNode node;
  node.m_dwId = push.m_dwId;
  if (push.m_pKeyBytes != nullptr) {
    node.m_szName = CopyName(push.m_pKeyBytes);
    if (!node.m_szName) return std::nullopt;
  }
  node.m_Values.reserve(children.size());
  for (const uint16_t child : children) {
    node.m_Values.push_back(MakeValue(child, withSubPaths, binary));
  }
  return node;
}

CFMValue CFMEngine::MakeValue(uint16_t index, bool withSubPaths, bool binary) {
  CFMValue value;
  if (index >= chunks_.size()) return value;
  CFMChunk& chunk = *chunks_[index];
  if (chunk.IsPush() && withSubPaths) {
    AssembleLongValue(index, value, binary);
    return value;
  }
  value.m_dwKey = chunk.m_dwId;
  value.m_dwLength = chunk.m_dwLength;
  value.m_pText = GetText(chunk);
  value.m_pRaw = chunk.m_pValue;
  value.m_pKeyBytes = chunk.m_pKeyBytes;
  return value;
}

void CFMEngine::FreeNode(CFMNode& node) {
  node.m_dwId = 0;
  node.m_Values.clear();
  node.m_szName.reset();
}
