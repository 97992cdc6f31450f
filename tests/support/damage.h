// Damage for paged files, as disks and careless copies inflict it: a cut-off end, a zeroed page,
// flipped bytes, a page overwritten with noise, pages out of order. Pages are counted from 0 behind
// the file's start (the part before the first page, which is never damaged here). Random damage is
// seeded, so a failing case can be repeated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

namespace damage {

using Bytes = std::vector<uint8_t>;

struct PagedLayout {
  size_t pageSize;
  size_t startSize;  // bytes before the first page: 4096 for fp5, 8192 for fp7
};

// Whole pages behind the start.
size_t PageCount(const Bytes& file, const PagedLayout& layout);

// Cuts the file to `size` bytes (a size past the end leaves it as it is).
void Truncate(Bytes& file, size_t size);
// Pages past the end are left alone by the page helpers.
void ZeroPage(Bytes& file, const PagedLayout& layout, size_t page);
void NoisePage(Bytes& file, const PagedLayout& layout, size_t page, uint64_t seed);
// Changes `count` bytes behind the start, each to a different value.
void FlipBytes(Bytes& file, const PagedLayout& layout, size_t count, uint64_t seed);
// The same within one page.
void FlipBytesInPage(Bytes& file, const PagedLayout& layout, size_t page, size_t count,
                     uint64_t seed);
// Puts the pages in a random order.
void ShufflePages(Bytes& file, const PagedLayout& layout, uint64_t seed);

// Applies damage to a file on disk: reads it, calls `damage`, writes the result back.
void DamageFile(const std::filesystem::path& path, const std::function<void(Bytes&)>& damage);

}  // namespace damage
