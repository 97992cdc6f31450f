#include "deep/fp7_stored_objects.h"

#include <algorithm>

#include "deep/fp7_places.h"
#include "deep/fp7_text.h"

namespace deep {

using namespace fp7_places;

namespace {

// A file reference: byte 4 is 7, then the encoded kind ("filewin", "filemac"); the name follows
// the last 0xDA byte and the one byte after it.
constexpr size_t kKindAt = 5;
constexpr size_t kKindLength = 7;
constexpr uint8_t kNameMark = 0xDA;

std::string TypeOf(std::span<const uint8_t> name) {
  return std::string(name.begin(), name.end());
}

}  // namespace

bool IsStoredObjectPath(std::span<const PathPart> path, uint64_t& object) {
  if (path.size() < 3 || path[0].isName || path[0].id != kObjects || path[1].isName ||
      path[1].id != kEntries || path[2].isName) {
    return false;
  }
  object = IdOf(path[2]);
  return true;
}

void Fp7StoredObjects::OnValue(std::span<const PathPart> path, const ChunkKey& key,
                               std::span<const uint8_t> value) {
  uint64_t object = 0;
  if (!IsStoredObjectPath(path, object)) return;
  if (path.size() == 3 && key.isBytes) {
    held_.At(object).streams[TypeOf(key.bytes)].whole.assign(value.begin(), value.end());
  } else if (path.size() == 4 && path[3].isName && !key.isBytes && key.number != kTotalSizeKey) {
    held_.At(object).streams[TypeOf(path[3].name)].pieces[key.number].assign(value.begin(),
                                                                             value.end());
  }
}

void Fp7StoredObjects::OnSegment(std::span<const PathPart> path, uint32_t piece,
                                 std::span<const uint8_t> bytes) {
  uint64_t object = 0;
  if (!IsStoredObjectPath(path, object) || path.size() != 4 || !path[3].isName) return;
  held_.At(object).streams[TypeOf(path[3].name)].pieces[piece].assign(bytes.begin(), bytes.end());
}

std::u16string StoredFileName(std::span<const uint8_t> reference) {
  if (reference.size() <= kKindAt + kKindLength || reference[4] != 7) return {};
  const std::u16string kind = DecodeFp7Text(reference.subspan(kKindAt, kKindLength));
  if (kind != u"filewin" && kind != u"filemac") return {};
  const auto tail = reference.subspan(kKindAt + kKindLength);
  const auto mark = std::find(tail.rbegin(), tail.rend(), kNameMark);
  if (mark == tail.rend()) return {};
  const size_t nameAt = static_cast<size_t>(tail.rend() - mark) + 1;  // behind the mark's byte
  if (nameAt >= tail.size()) return {};
  return DecodeFp7Text(tail.subspan(nameAt));
}

}  // namespace deep
