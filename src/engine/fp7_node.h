// The records the fp7 path tree hands out: a node (one path push with the values under it) and
// its values.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/heap.h"

struct Fp7HeapRelease {
  void operator()(void* block) const { qrx::heap::Release(block); }
};
// A buffer from the library heap (qrx::heap), released with the record that holds it.
template <class T>
using Fp7HeapArray = std::unique_ptr<T[], Fp7HeapRelease>;

// One value under a path. A value made from a single chunk borrows the chunk's text, raw bytes
// and key bytes: they are valid only until the next NextPage. An assembled value (a sub-path of
// pieces joined into one) owns its buffer and its name: m_pText or m_pRaw then point into
// m_OwnedBuffer and m_pKeyBytes into m_OwnedName, and they live as long as the value.
struct CFMValue {
  uint32_t m_bBinary = 0;        // assembled from raw bytes
  uint32_t m_bDeclaredText = 0;  // assembled as text in the declared-length form
  // The chunk's key; for an assembled value the sub-path's id, and 0 when the assembly failed.
  uint32_t m_dwKey = 0;
  // Bytes in the value: for an assembled value the bytes its buffer holds (followed by a zero).
  uint32_t m_dwLength = 0;
  // The total length announced by the first piece (declared-length form), else 0. It may exceed
  // m_dwLength: only the pieces present on the page are held, never room for the rest.
  uint32_t m_dwDeclaredLength = 0;
  uint32_t m_dwFirstPieceKey = 0;
  const char* m_pText = nullptr;
  const uint8_t* m_pRaw = nullptr;
  const char* m_pKeyBytes = nullptr;
  Fp7HeapArray<uint8_t> m_OwnedBuffer;
  Fp7HeapArray<char> m_OwnedName;
};

// One path push and the values directly under it, in page order. Owns its values and its name.
struct CFMNode {
  uint32_t m_dwId = 0;
  Fp7HeapArray<char> m_szName;  // copy of the push's key bytes; null for a numeric id
  std::vector<CFMValue> m_Values;

  uint16_t Count() const { return static_cast<uint16_t>(m_Values.size()); }
};
