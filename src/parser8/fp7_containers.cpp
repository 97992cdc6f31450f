// Container objects (stored files and pictures) of a table. An object's bytes come as data values,
// either announcing the object's whole size or as pieces numbered from 1 that sit 1000 bytes apart,
// and its file name comes as a stored file reference. An object may occur on several pages; its
// occurrences are joined by object id.
//
// A piece's number alone says where its bytes go, so a few bytes numbered far out would claim an
// object of any size up to the file's. The pieces are therefore kept as found while the pages are
// walked (no room is made for the gaps between them), and each object is assembled after the walk,
// when all its pieces are known, whatever the order they came in:
// - The object's runs of bytes (stretches where pieces lie, touching or overlapping pieces joined)
//   are taken from its start on. A run that ends beyond 4 times the bytes of all runs up to and
//   including it ends the object before it: that run and every later piece are dropped, with a log
//   line. An object is thus never larger than 4 times the bytes found for it; the pieces of an
//   intact object leave no gaps and always pass, and a lost page or two inside an object (3 in 4
//   bytes present, say) leave it whole, zeros standing for what is missing.
// - A piece, or a declared size, ending beyond the source file (or 4 GiB) is refused outright.
// Collecting holds the bytes found, at most the data of the pages walked; an assembled object at
// most 4 times its share of them. The files written from the objects of one recovery are bounded
// as a whole by the source file's size (container_files.cpp).
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "api/library_state.h"
#include "diag/log.h"
#include "parser8/fp7_parser.h"
#include "parser8/fp7_paths.h"
#include "platform/heap.h"

namespace {

constexpr uint64_t kPieceSpacing = 1000;
// An object is never larger than this many times the bytes found for it.
constexpr uint64_t kMaxSpread = 4;

enum class ValueKind { kIgnored, kData, kName };

ValueKind KindOf(const CFMValue& value) {
  if (value.m_pKeyBytes == nullptr) return ValueKind::kIgnored;
  const std::string_view key(value.m_pKeyBytes, strnlen(value.m_pKeyBytes, 4));
  if (key == "FILE" || key == "JPEG") return ValueKind::kData;
  if (key == "FNAM") return ValueKind::kName;
  return ValueKind::kIgnored;
}

// Forgets the bytes found so far: the first data value of a new object's occurrence, and any later
// one of it, starts the object afresh.
void Renew(CBinaryDataInfo& object) {
  object.m_Pieces.clear();
  object.m_dwSize = 0;
  object.m_dwTotalSize = 0;
}

// Keeps a copy of `length` bytes found at `offset` (offset + length fits 32 bits); false when
// memory ran out.
bool AddPiece(CBinaryDataInfo& object, uint32_t offset, const uint8_t* bytes, uint32_t length) {
  CBinaryPiece piece{offset, length, nullptr};
  if (length > 0) {
    piece.m_pBytes.reset(static_cast<uint8_t*>(qrx::heap::Allocate(length)));
    if (piece.m_pBytes == nullptr) {
      g_Log.LogFormat("can not allocate %X bytes", length);
      return false;
    }
    std::memcpy(piece.m_pBytes.get(), bytes, length);
  }
  object.m_Pieces.push_back(std::move(piece));
  object.m_dwSize = std::max(object.m_dwSize, offset + length);
  return true;
}

// A data value announcing the object's whole size; it holds the object's first bytes.
bool PlaceSizedData(CBinaryDataInfo& object, bool isNew, const CFMValue& value) {
  if (isNew) Renew(object);
  object.m_dwTotalSize = value.m_dwDeclaredLength;
  return AddPiece(object, 0, value.m_pRaw, value.m_dwLength);
}

// One piece: at offset (k - 1) x 1000 for first piece key k; key 0 is a whole object, or, for an
// object already begun, its start. An object with a declared size keeps only pieces within it.
bool PlacePiece(CBinaryDataInfo& object, bool isNew, const CFMValue& value, uint64_t largest) {
  const uint32_t key = value.m_dwFirstPieceKey;
  const uint64_t offset = key == 0 ? 0 : (key - uint64_t{1}) * kPieceSpacing;
  const uint64_t end = offset + value.m_dwLength;
  if (end > largest) return true;
  if (isNew) {
    Renew(object);
  } else if (object.m_dwTotalSize > 0 && end > object.m_dwTotalSize) {
    return true;
  }
  return AddPiece(object, static_cast<uint32_t>(offset), value.m_pRaw, value.m_dwLength);
}

// False only when memory ran out. Values whose sizes cannot be right are skipped: a declared size
// below the bytes held or beyond `largest`, a piece ending beyond it.
bool PlaceData(CBinaryDataInfo& object, bool isNew, const CFMValue& value, uint64_t largest) {
  if (value.m_pRaw == nullptr || value.m_dwLength > largest) return true;
  if (value.m_dwDeclaredLength > 0) {
    if (value.m_dwDeclaredLength < value.m_dwLength || value.m_dwDeclaredLength > largest) {
      return true;
    }
    return PlaceSizedData(object, isNew, value);
  }
  if (value.m_dwLength == 0) return true;
  return PlacePiece(object, isNew, value, largest);
}

// The size an object keeps: the end of its last run of bytes, walking from its start, that lies
// within kMaxSpread times the bytes of the runs up to it.
uint32_t KeptSize(const std::vector<CBinaryPiece>& pieces) {
  std::vector<std::pair<uint64_t, uint64_t>> spans;  // start, end
  for (const CBinaryPiece& piece : pieces) {
    if (piece.m_dwLength == 0) continue;
    spans.emplace_back(piece.m_dwOffset, piece.m_dwOffset + uint64_t{piece.m_dwLength});
  }
  std::sort(spans.begin(), spans.end());
  uint64_t covered = 0, kept = 0;
  for (size_t i = 0; i < spans.size();) {
    const uint64_t runStart = spans[i].first;
    uint64_t runEnd = spans[i].second;
    for (++i; i < spans.size() && spans[i].first <= runEnd; ++i) {
      runEnd = std::max(runEnd, spans[i].second);
    }
    covered += runEnd - runStart;
    if (runEnd > kMaxSpread * covered) break;
    kept = runEnd;
  }
  return static_cast<uint32_t>(kept);
}

// Places the pieces of an object in order in a buffer of its kept size and lets them go. When the
// buffer cannot be had the object is left without bytes.
void Assemble(uint32_t id, CBinaryDataInfo& object) {
  const std::vector<CBinaryPiece> pieces = std::exchange(object.m_Pieces, {});
  if (pieces.empty()) return;
  const uint32_t size = KeptSize(pieces);
  if (size < object.m_dwSize) {
    g_Log.LogFormat(
        "ReadBynaryData: object %u ends at byte %u of %u; its later bytes lie too far "
        "apart to be believed",
        id, size, object.m_dwSize);
  }
  object.m_dwSize = 0;
  auto* data = static_cast<uint8_t*>(qrx::heap::AllocateZeroed(size + uint64_t{1}));
  if (data == nullptr) {
    g_Log.LogFormat("can not allocate %llX bytes", static_cast<unsigned long long>(size + 1ull));
    return;
  }
  for (const CBinaryPiece& piece : pieces) {
    if (piece.m_dwLength > 0 && piece.m_dwOffset + uint64_t{piece.m_dwLength} <= size) {
      std::memcpy(data + piece.m_dwOffset, piece.m_pBytes.get(), piece.m_dwLength);
    }
  }
  qrx::heap::Release(object.m_pData);
  object.m_pData = data;
  object.m_dwSize = size;
}

}  // namespace

bool CFMLogicParser8::ReadBynaryData(uint32_t tableId) {
  g_Log.LogLine("ReadBynaryData: Start");
  m_BinaryData.clear();
  const std::vector<uint32_t> path = fp7_paths::ContainerList(tableId);
  const bool ranOut = WalkPages(path, [&](uint16_t listIndex) {
    if (listIndex == CFMEngine::kNotFound) return PageStep::kNextPage;
    const std::vector<uint16_t> subPaths = m_Engine.GetSubPaths(listIndex);
    if (subPaths.empty()) return PageStep::kStop;
    for (const uint16_t subPath : subPaths) {
      const ObjectStep step = ReadObject(subPath);
      if (step == ObjectStep::kLeavePage) break;
      if (step == ObjectStep::kOutOfMemory) return PageStep::kStop;
    }
    return PageStep::kNextPage;
  });
  // The walk ends at a stop; what it collected is then not written.
  if (BreakRequested()) {
    g_Log.LogLine("BreakFlag");
    return false;
  }
  for (const auto& [id, object] : m_BinaryData) Assemble(id, *object);
  if (ranOut) g_Log.LogLine("ReadBynaryData: End");
  return true;
}

CFMLogicParser8::ObjectStep CFMLogicParser8::ReadObject(uint16_t subPath) {
  const std::optional<CFMNode> node = m_Engine.GetNode(subPath, true, true);
  if (!node || node->m_Values.empty()) return ObjectStep::kLeavePage;
  if (node->m_dwId == 0) return ObjectStep::kNext;

  // Whether the object is new is decided once per occurrence: a second data value of a new object
  // replaces the bytes of the first.
  const auto existing = m_BinaryData.find(node->m_dwId);
  const bool isNew = existing == m_BinaryData.end();
  std::unique_ptr<CBinaryDataInfo> fresh;
  if (isNew) {
    fresh.reset(new CBinaryDataInfo);
    if (fresh == nullptr) {
      g_Log.LogLine("can not allocate container object");
      return ObjectStep::kOutOfMemory;
    }
  }
  CBinaryDataInfo& object = isNew ? *fresh : *existing->second;
  const uint64_t largest =
      std::min<uint64_t>(m_Engine.m_nFileSize, std::numeric_limits<uint32_t>::max());
  for (const CFMValue& value : node->m_Values) {
    const ValueKind kind = KindOf(value);
    if (kind == ValueKind::kData && !PlaceData(object, isNew, value, largest)) {
      return ObjectStep::kOutOfMemory;
    }
    if (kind == ValueKind::kName && value.m_dwDeclaredLength == 0 && value.m_dwLength > 0) {
      TakeObjectName(object, value);
    }
  }
  if (isNew && (!object.m_Pieces.empty() || object.m_szName != nullptr)) {
    m_BinaryData.emplace(node->m_dwId, std::move(fresh));
  }
  return ObjectStep::kNext;
}

void CFMLogicParser8::TakeObjectName(CBinaryDataInfo& object, const CFMValue& value) const {
  Fp7HeapArray<char> name = ParseFileReference(value.m_pRaw, value.m_dwLength);
  if (name == nullptr) return;
  qrx::heap::Release(object.m_szName);
  object.m_dwNameLength = static_cast<uint32_t>(std::strlen(name.get()));
  object.m_szName = name.release();
}

Fp7HeapArray<char> CFMLogicParser8::ParseFileReference(const uint8_t* bytes,
                                                       uint32_t length) const {
  // Bytes 5 to 11 name the kind of reference; the name sits behind the last 0xDA byte and the one
  // byte after it, its length given by where that byte lies, modulo 256.
  constexpr uint32_t kKindAt = 5, kKindLength = 7, kSearchFrom = kKindAt + kKindLength;
  constexpr uint8_t kFileKindMark = 7, kNameMark = 0xDA;
  if (bytes == nullptr || length <= kSearchFrom || bytes[4] != kFileKindMark) return nullptr;
  uint8_t kind[kKindLength];
  std::memcpy(kind, bytes + kKindAt, kKindLength);
  m_Engine.DecodeText(kind, kKindLength);
  const std::string_view kindText(reinterpret_cast<const char*>(kind), kKindLength);
  if (kindText != "filewin" && kindText != "filemac") return nullptr;

  const uint8_t* searched = bytes + kSearchFrom;
  const uint8_t* end = bytes + length;
  const auto marker =
      std::find(std::make_reverse_iterator(end), std::make_reverse_iterator(searched), kNameMark);
  if (marker == std::make_reverse_iterator(searched)) return nullptr;
  const uint32_t markerAt = static_cast<uint32_t>(marker.base() - 1 - bytes);
  const uint32_t tail = (length - markerAt) % 256;
  if (tail <= 2) return nullptr;

  const uint32_t nameLength = tail - 2;
  Fp7HeapArray<char> name(static_cast<char*>(qrx::heap::Allocate(nameLength + 1)));
  if (name == nullptr) {
    g_Log.LogFormat("can not allocate %X bytes", nameLength + 1);
    return nullptr;
  }
  std::memcpy(name.get(), bytes + markerAt + 2, nameLength);
  name[nameLength] = '\0';
  m_Engine.DecodeText(reinterpret_cast<uint8_t*>(name.get()), nameLength);
  return name;
}
