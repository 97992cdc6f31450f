// The fp7 page engine: cuts the data area of an fp7 page into chunks (path pushes, path pops and
// key/value pairs), decodes value texts, dumps all pages to the log, and navigates the tree that
// the chunks of one page form (path lookup, sub-paths, nodes with their values, long values
// joined from their pieces, the catalogue tests of the format check).
//
// Lifetime: the chunk list, every CFMChunk, and all texts, value bytes and key bytes reached
// through them or through values borrowed from them are valid only until the next NextPage (or
// the engine's destruction). ParsePage appends to the list; calling it twice on one page lists
// the page's chunks twice, and lookups find the first copy.
//
// Indices are positions in the current chunk list; kNotFound (0xFFFF) means none.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "engine/fp7_chunk.h"
#include "engine/fp7_chunk_decoder.h"
#include "engine/fp7_decode_rules.h"
#include "engine/fp7_node.h"
#include "engine/fp7_page_arena.h"
#include "engine/page_engine.h"

class CFMEngine : public CFMCEngine {
 public:
  static constexpr uint16_t kNotFound = 0xFFFF;

  explicit CFMEngine(const Fp7DecodeRules& rules = Fp7DecodeRules::Strict());
  ~CFMEngine() override;

  // --- Chunks of the current page ---

  // Decodes the data area of the page last read (ReadPage), appends its chunks and marks where
  // the level of every listed push ends.
  void ParsePage();
  // The chunk list in page order; valid only until the next NextPage or ParsePage.
  std::span<CFMChunk* const> GetChunks() const { return chunks_; }
  // Clears the page, steps to the next page number and releases the page's chunks.
  void NextPage() override;
  // The value decoded as zero-terminated text, made on first request and kept with the chunk;
  // null when the chunk holds no value bytes. Valid only until the next NextPage.
  const char* GetText(CFMChunk& chunk);
  // Decodes `length` bytes of `buffer` in place; nothing for a null buffer.
  void DecodeText(uint8_t* buffer, size_t length) const;
  // Logs the chunk tree of every page from the current page on, with decoded texts when `decode`
  // is set, else the raw value bytes. Needs a page loaded since Connect.
  void DumpAllPages(bool decode);

  // --- The path tree of the current page ---

  // The index of the push that first completes the path `ids` (outermost first), or kNotFound.
  // A path completed by the page's last chunk is not found.
  uint16_t FindPath(std::span<const uint32_t> ids) const;
  uint16_t FindPath(std::initializer_list<uint32_t> ids) const {
    return FindPath(std::span<const uint32_t>(ids.begin(), ids.size()));
  }
  // The pushes directly under the push at `index`, in page order.
  std::vector<uint16_t> GetSubPaths(uint16_t index) const;
  // The key/values directly under the push at `index`; with `withSubPaths` also every push below
  // it, at any depth.
  std::vector<uint16_t> GetChildren(uint16_t index, bool withSubPaths) const;
  // The node of the push at `index` with one value per child (MakeValue); none when `index` is
  // past the list or the push has no children.
  std::optional<CFMNode> GetNode(uint16_t index, bool withSubPaths, bool binary);
  // The value of the chunk at `index`; a push is assembled into a long value when `withSubPaths`.
  CFMValue MakeValue(uint16_t index, bool withSubPaths, bool binary);
  // Joins the pieces directly under the push at `index` into `value` (a buffer it owns): raw
  // bytes when `binary`, else decoded texts. A failed assembly leaves the key at 0.
  void AssembleLongValue(uint16_t index, CFMValue& value, bool binary);
  // Empties a node: id 0, values and name released.
  static void FreeNode(CFMNode& node);

  // --- Format check ---

  // Parse the current page and tell whether it holds the table list (3/16/5 with named tables)
  // or a column list (k/3/5 for k = 1 to 5 with named columns); each logs its finding.
  bool IsTablesCatalogue();
  bool IsFieldsCatalogue();

  uint32_t m_nBrokenPages = 0;  // ParsePage calls stopped by an unknown opcode after some chunks
  uint32_t m_nParsedPages = 0;  // ParsePage calls

 private:
  // Copies a decoded chunk into the page arena and lists it. Without memory for the record or its
  // key bytes the chunk is dropped; without memory for its value bytes it is kept without them.
  void AppendChunk(const Fp7DecodedChunk& decoded);
  // Sets m_nLevelEnd of every push in the list, in one pass over it.
  void MarkLevelEnds();
  // Counts the named sub-paths under `index` (nodes with values, one of them with key 16);
  // nullopt when a node is missing or empty and `stopAtEmpty` is set.
  std::optional<uint32_t> CountNamedSubPaths(uint16_t index, bool stopAtEmpty);

  const Fp7DecodeRules& rules_;
  std::vector<CFMChunk*> chunks_;
  Fp7PageArena arena_;
};
