// Container objects (stored files and pictures) of a table. An object's bytes come as data values,
// either announcing the object's whole size or as pieces numbered from 1 that sit 1000 bytes apart,
// and its file name comes as a stored file reference. An object may occur on several pages; its
// occurrences are joined by object id.
//
// The bytes of an object never exceed its buffer: the buffer always holds at least
// max(m_dwSize, m_dwTotalSize) + 1 bytes, and no size read from the file is believed beyond the
// size of the file itself.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "diag/log.h"
#include "parser8/fp7_parser.h"
#include "parser8/fp7_paths.h"
#include "platform/heap.h"

namespace {

constexpr uint64_t kPieceSpacing = 1000;

enum class ValueKind { kIgnored, kData, kName };

ValueKind KindOf(const CFMValue& value) {
  if (value.m_pKeyBytes == nullptr) return ValueKind::kIgnored;
  const std::string_view key(value.m_pKeyBytes, strnlen(value.m_pKeyBytes, 4));
  if (key == "FILE" || key == "JPEG") return ValueKind::kData;
  if (key == "FNAM") return ValueKind::kName;
  return ValueKind::kIgnored;
}

// Gives the object a fresh buffer of `size` + 1 zero bytes, holding nothing yet.
bool RenewData(CBinaryDataInfo& object, uint64_t size) {
  auto* data = static_cast<uint8_t*>(qrx::heap::AllocateZeroed(size + 1));
  if (data == nullptr) {
    g_Log.LogFormat("can not allocate %llX bytes", static_cast<unsigned long long>(size + 1));
    return false;
  }
  qrx::heap::Release(object.m_pData);
  object.m_pData = data;
  object.m_dwSize = 0;
  object.m_dwTotalSize = 0;
  return true;
}

// Grows the buffer to `size` + 1 bytes; the bytes held stay, the rest is zero.
bool GrowData(CBinaryDataInfo& object, uint64_t size) {
  auto* grown = static_cast<uint8_t*>(qrx::heap::Reallocate(object.m_pData, size + 1));
  if (grown == nullptr) {
    g_Log.LogFormat("can not realloc %llX bytes", static_cast<unsigned long long>(size + 1));
    return false;
  }
  std::memset(grown + object.m_dwSize, 0, size + 1 - object.m_dwSize);
  object.m_pData = grown;
  return true;
}

// A data value announcing the object's whole size; it holds the object's first bytes.
bool PlaceSizedData(CBinaryDataInfo& object, bool isNew, const CFMValue& value) {
  const uint32_t length = value.m_dwLength;
  const uint32_t declared = value.m_dwDeclaredLength;
  if (isNew) {
    if (!RenewData(object, declared)) return false;
  } else if (object.m_dwSize < declared && !GrowData(object, declared)) {
    return false;
  }
  object.m_dwTotalSize = declared;
  std::memcpy(object.m_pData, value.m_pRaw, length);
  // The bytes just copied are held, also by an object that had only its name so far.
  object.m_dwSize = std::max(object.m_dwSize, length);
  return true;
}

// One piece: at offset (k - 1) x 1000 for first piece key k; key 0 is a whole object, or, for an
// object already begun, its start.
bool PlacePiece(CBinaryDataInfo& object, bool isNew, const CFMValue& value, uint64_t largest) {
  const uint32_t key = value.m_dwFirstPieceKey;
  const uint64_t offset = key == 0 ? 0 : (key - uint64_t{1}) * kPieceSpacing;
  const uint64_t end = offset + value.m_dwLength;
  if (end > largest) return true;
  if (isNew) {
    if (!RenewData(object, end)) return false;
  } else if (object.m_dwTotalSize > 0) {
    if (end > object.m_dwTotalSize) return true;
  } else if (object.m_dwSize < end && !GrowData(object, end)) {
    return false;
  }
  std::memcpy(object.m_pData + offset, value.m_pRaw, value.m_dwLength);
  object.m_dwSize = std::max(object.m_dwSize, static_cast<uint32_t>(end));
  return true;
}

// False only when memory ran out. Values whose sizes cannot be right are skipped: a declared size
// below the bytes held or beyond the source file, a piece ending beyond the source file.
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

}  // namespace

void CFMLogicParser8::ReadBynaryData(uint32_t tableId) {
  g_Log.LogLine("ReadBynaryData: Start");
  m_BinaryData.clear();
  bool outOfMemory = false;
  const std::vector<uint32_t> path = fp7_paths::ContainerList(tableId);
  const bool ranOut = WalkPages(path, [&](uint16_t listIndex) {
    if (listIndex == CFMEngine::kNotFound) return PageStep::kNextPage;
    const std::vector<uint16_t> subPaths = m_Engine.GetSubPaths(listIndex);
    if (subPaths.empty()) return PageStep::kStop;
    for (const uint16_t subPath : subPaths) {
      const ObjectStep step = ReadObject(subPath);
      if (step == ObjectStep::kLeavePage) break;
      outOfMemory = step == ObjectStep::kOutOfMemory;
      if (outOfMemory) return PageStep::kStop;
    }
    return PageStep::kNextPage;
  });
  if (ranOut) g_Log.LogLine("ReadBynaryData: End");
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
  for (const CFMValue& value : node->m_Values) {
    const ValueKind kind = KindOf(value);
    if (kind == ValueKind::kData && !PlaceData(object, isNew, value, m_Engine.m_nFileSize)) {
      return ObjectStep::kOutOfMemory;
    }
    if (kind == ValueKind::kName && value.m_dwDeclaredLength == 0 && value.m_dwLength > 0) {
      TakeObjectName(object, value);
    }
  }
  if (isNew && (object.m_pData != nullptr || object.m_szName != nullptr)) {
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
