// Container objects of an fp7 file (stored files and pictures), read from the pages that the first
// pass found them on (path 31/5/O, one object per id), in the order of their object ids, and
// handed on once complete. An object holds streams named by a 4-character type ("JPEG", "FILE",
// "PDF ", ...): small ones as one value keyed by the type, larger ones as a sub-path of that name
// with numbered pieces of 1000 bytes (key 0 there holds the total size). The stream "FNAM" is the
// stored file reference that names the object.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "deep/fp7_page.h"
#include "deep/held_in_order.h"
#include "deep/long_value.h"

namespace deep {

struct Fp7StoredObject {
  std::map<std::string, LongValue> streams;  // by type
};

class Fp7StoredObjects final : public Fp7PageVisitor {
 public:
  using ObjectSink = std::function<void(uint64_t objectId, const Fp7StoredObject& object)>;
  explicit Fp7StoredObjects(ObjectSink emit) : held_(std::move(emit)) {}

  // Pages must come in ascending order of their first object id.
  void BeginPage(uint64_t firstObject) { held_.ReleaseBelow(firstObject); }
  void Finish() { held_.ReleaseAll(); }

  void OnValue(std::span<const PathPart> path, const ChunkKey& key,
               std::span<const uint8_t> value) override;
  void OnSegment(std::span<const PathPart> path, uint32_t piece,
                 std::span<const uint8_t> bytes) override;

 private:
  HeldInOrder<Fp7StoredObject> held_;
};

// Whether `path` lies under 31/5/O; its object id then goes to `object`.
bool IsStoredObjectPath(std::span<const PathPart> path, uint64_t& object);

// The file name in a stored file reference ("FNAM"), decoded; empty when it holds none.
std::u16string StoredFileName(std::span<const uint8_t> reference);

}  // namespace deep
