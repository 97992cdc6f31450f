#include "support/damage.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <utility>

namespace damage {
namespace {

// The raw generator output is the same on every platform, unlike the standard distributions.
size_t Below(std::mt19937_64& random, size_t bound) {
  return static_cast<size_t>(random() % bound);
}

uint8_t* PageStart(Bytes& file, const PagedLayout& layout, size_t page) {
  return file.data() + layout.startSize + page * layout.pageSize;
}

// Changes `count` bytes of file[from, to), each to a different value.
void FlipRange(Bytes& file, size_t from, size_t to, size_t count, uint64_t seed) {
  if (to <= from) return;
  std::mt19937_64 random(seed);
  for (size_t i = 0; i < count; ++i) {
    file[from + Below(random, to - from)] ^= static_cast<uint8_t>(1 + Below(random, 255));
  }
}

}  // namespace

size_t PageCount(const Bytes& file, const PagedLayout& layout) {
  return file.size() > layout.startSize ? (file.size() - layout.startSize) / layout.pageSize : 0;
}

void Truncate(Bytes& file, size_t size) {
  if (size < file.size()) file.resize(size);
}

void ZeroPage(Bytes& file, const PagedLayout& layout, size_t page) {
  if (page >= PageCount(file, layout)) return;
  std::fill_n(PageStart(file, layout, page), layout.pageSize, 0);
}

void NoisePage(Bytes& file, const PagedLayout& layout, size_t page, uint64_t seed) {
  if (page >= PageCount(file, layout)) return;
  std::mt19937_64 random(seed);
  std::generate_n(PageStart(file, layout, page), layout.pageSize,
                  [&random] { return static_cast<uint8_t>(random()); });
}

void FlipBytes(Bytes& file, const PagedLayout& layout, size_t count, uint64_t seed) {
  FlipRange(file, layout.startSize, file.size(), count, seed);
}

void FlipBytesInPage(Bytes& file, const PagedLayout& layout, size_t page, size_t count,
                     uint64_t seed) {
  if (page >= PageCount(file, layout)) return;
  const size_t from = layout.startSize + page * layout.pageSize;
  FlipRange(file, from, from + layout.pageSize, count, seed);
}

void ShufflePages(Bytes& file, const PagedLayout& layout, uint64_t seed) {
  std::mt19937_64 random(seed);
  for (size_t i = PageCount(file, layout); i > 1; --i) {
    const size_t j = Below(random, i);
    std::swap_ranges(PageStart(file, layout, i - 1),
                     PageStart(file, layout, i - 1) + layout.pageSize, PageStart(file, layout, j));
  }
}

void DamageFile(const std::filesystem::path& path, const std::function<void(Bytes&)>& damage) {
  Bytes file;
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  damage(file);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace damage
