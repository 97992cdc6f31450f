#include <gtest/gtest.h>

#include <string>

#include "engine/fp7_engine.h"
#include "unit/fp7_engine_fixture.h"

namespace {

using fp7::Bytes;
using Indices = std::vector<uint16_t>;

TEST(Fp7PathTree, FindPathFollowsTheStackOfOpenPushes) {
  CFMEngine engine;
  // A pop empties the stack, so 16 alone is a path but 3/16 is not; a pop on an empty stack
  // changes nothing.
  ParseData(engine, {0x20, 3, 0x40, 0x40, 0x20, 16, 0x06, 1, 1, 0x41});
  EXPECT_EQ(engine.FindPath({16}), 3);
  EXPECT_EQ(engine.FindPath({3, 16}), CFMEngine::kNotFound);
  EXPECT_EQ(engine.FindPath({3}), 0);
  // A path completed by the page's last chunk is not found, nor an empty path.
  engine.NextPage();
  ParseData(engine, {0x20, 3, 0x20, 16});
  EXPECT_EQ(engine.FindPath({3}), 0);
  EXPECT_EQ(engine.FindPath({3, 16}), CFMEngine::kNotFound);
  EXPECT_EQ(engine.FindPath(std::span<const uint32_t>()), CFMEngine::kNotFound);
  // The first place where the path is open wins, also below a deeper level closed again.
  engine.NextPage();
  ParseData(engine, {0x20, 1, 0x20, 2, 0x20, 9, 0x40, 0x40, 0x20, 2, 0x40, 0x40});
  EXPECT_EQ(engine.FindPath({1, 2}), 1);
  EXPECT_EQ(engine.FindPath({1, 2, 9}), 2);
  EXPECT_EQ(engine.FindPath({1, 9}), CFMEngine::kNotFound);
  // A closed level does not lend its id to the one opened after it.
  engine.NextPage();
  ParseData(engine, {0x20, 3, 0x40, 0x20, 5, 0x20, 16, 0x06, 1, 1});
  EXPECT_EQ(engine.FindPath({3, 16}), CFMEngine::kNotFound);
}

TEST(Fp7PathTree, SubPathsChildrenAndNodesFollowTheDepth) {
  fp7::ChunkWriter w;
  // 0 push 7 | 1 kv 1 | 2 push 8 | 3 kv 2 | 4 push 9 | 5 kv 3 | 6 pop | 7 pop | 8 kv 4 | 9 pop
  // 10 kv 5 (outside)
  w.Push(7).Value(1, Bytes{1}).Push(8).Value(2, Bytes{2}).Push(9).Value(3, Bytes{3}).Pop(2);
  w.Value(4, Bytes{0x1B, 0x18}).Pop().Value(5, Bytes{5});
  CFMEngine engine;
  ParseData(engine, w.bytes());
  EXPECT_EQ(engine.GetSubPaths(0), Indices{2});
  EXPECT_EQ(engine.GetSubPaths(2), Indices{4});
  EXPECT_TRUE(engine.GetSubPaths(1).empty());   // not a push
  EXPECT_TRUE(engine.GetSubPaths(99).empty());  // past the list
  EXPECT_EQ(engine.GetChildren(0, false), (Indices{1, 8}));
  EXPECT_EQ(engine.GetChildren(0, true), (Indices{1, 2, 4, 8}));  // pushes at any depth
  EXPECT_FALSE(engine.GetNode(99, false, false));
  EXPECT_FALSE(engine.GetNode(10, false, false));  // a key/value has no children
  std::optional<CFMNode> node = engine.GetNode(0, false, false);
  ASSERT_TRUE(node);
  EXPECT_EQ(node->m_dwId, 7u);
  ASSERT_EQ(node->Count(), 2);
  EXPECT_EQ(node->m_Values[1].m_dwKey, 4u);
  EXPECT_STREQ(node->m_Values[1].m_pText, "AB");
  CFMEngine::FreeNode(*node);
  EXPECT_EQ(node->m_dwId, 0u);
  EXPECT_EQ(node->Count(), 0);
}

// A chain of 1000 levels nested in one another on one page. Levels 0, 10, 20 ... hold a value
// before their sub-level; levels 5, 15, 25 ... hold, behind their closed sub-level, a value and
// an empty second sub-path. The expected answers are counted while the page is written.
TEST(Fp7PathTree, DeeplyNestedLevelsKeepTheirOwnItems) {
  constexpr size_t kDepth = 1000;
  struct Level {
    uint16_t push = 0;
    Indices subPaths, values;
  };
  std::vector<Level> levels(kDepth);
  fp7::ChunkWriter w;
  uint16_t next = 0;  // index of the next chunk written
  for (size_t l = 0; l < kDepth; ++l) {
    w.Push(static_cast<uint32_t>(l % 200 + 1));
    levels[l].push = next++;
    if (l > 0) levels[l - 1].subPaths.push_back(levels[l].push);
    if (l % 10 == 0) {
      w.ValueAs(0x01, 1, Bytes{static_cast<uint8_t>(l / 10)});
      levels[l].values.push_back(next++);
    }
  }
  for (size_t l = kDepth; l-- > 0;) {
    if (l % 10 == 5) {
      w.ValueAs(0x01, 2, Bytes{static_cast<uint8_t>(l / 10)}).Push(250).Pop();
      levels[l].values.push_back(next);
      levels[l].subPaths.push_back(static_cast<uint16_t>(next + 1));
      next += 3;
    }
    w.Pop();
    ++next;
  }
  CFMEngine engine;
  ParseData(engine, w.bytes());
  ASSERT_EQ(engine.GetChunks().size(), next);
  for (const Level& level : levels) {
    ASSERT_EQ(engine.GetSubPaths(level.push), level.subPaths) << level.push;
    ASSERT_EQ(engine.GetChildren(level.push, false), level.values) << level.push;
  }
  // With its sub-paths the outermost level holds its own value and every push below, each
  // joined into a long value of its direct pieces (the levels without values join nothing).
  const std::optional<CFMNode> all = engine.GetNode(0, true, true);
  ASSERT_TRUE(all);
  ASSERT_EQ(all->Count(), 1 + kDepth - 1 + kDepth / 10);
  std::vector<std::pair<uint32_t, uint8_t>> found, expected;
  for (const CFMValue& value : all->m_Values) {
    if (value.m_dwKey != 0) found.emplace_back(value.m_dwKey, value.m_pRaw[0]);
  }
  for (size_t l = 0; l < kDepth; ++l) {
    const auto key = static_cast<uint32_t>(l == 0 ? 1 : l % 200 + 1);
    if (l % 5 == 0) expected.emplace_back(key, static_cast<uint8_t>(l / 10));
  }
  EXPECT_EQ(found, expected);
}

TEST(Fp7PathTree, LevelsLeftOpenReachTheEndOfTheList) {
  // 2000 pushes, none closed, as on a damaged page: each level holds only the next push.
  fp7::ChunkWriter chain;
  for (uint32_t l = 0; l < 2000; ++l) chain.Push(l % 200 + 1);
  CFMEngine engine;
  ParseData(engine, chain.bytes());
  for (uint16_t l = 0; l < 1999; ++l) ASSERT_EQ(engine.GetSubPaths(l), Indices{uint16_t(l + 1)});
  EXPECT_TRUE(engine.GetSubPaths(1999).empty());
  // A page parsed twice lists its chunks twice: the level its first copy leaves open holds the
  // second copy.  0 push 9 | 1 push 1 | 2 kv 1 | 3 pop | 4 kv 2 | 5 push 9 | ... | 9 kv 2
  engine.NextPage();
  ParseData(engine, fp7::ChunkWriter().Push(9).Push(1).Value(1, {}).Pop().Value(2, {}).bytes());
  engine.ParsePage();
  EXPECT_EQ(engine.GetSubPaths(0), (Indices{1, 5}));
  EXPECT_EQ(engine.GetChildren(0, false), Indices{4});
  EXPECT_EQ(engine.GetChildren(5, false), Indices{9});
}

// The long value under the push at index 1 of a page holding push 40, the sub-path and a pop.
CFMValue Assemble(CFMEngine& engine, const fp7::ChunkWriter& subPath, bool binary) {
  engine.NextPage();
  ParseData(engine, fp7::ChunkWriter().Push(40).Raw(subPath.bytes()).Pop().bytes());
  CFMValue value;
  engine.AssembleLongValue(1, value, binary);
  return value;
}

std::string Summary(const CFMValue& v) {
  return "key " + std::to_string(v.m_dwKey) + ", " + std::to_string(v.m_dwLength) + " of " +
         std::to_string(v.m_dwDeclaredLength) + ", first " + std::to_string(v.m_dwFirstPieceKey) +
         ", binary " + std::to_string(v.m_bBinary) + ", text " + std::to_string(v.m_bDeclaredText);
}

// A declared-length sub-path 60: the total in a first piece of key 0, then pieces keyed 1, 2 ...
fp7::ChunkWriter Declared(uint8_t totalOpcode, const Bytes& total,
                          const std::vector<Bytes>& pieces) {
  fp7::ChunkWriter w;
  w.Push(60).ValueAs(totalOpcode, 0, total);
  for (size_t i = 0; i < pieces.size(); ++i) w.Value(static_cast<uint32_t>(i + 1), pieces[i]);
  w.Pop();
  return w;
}

TEST(Fp7LongValue, BothFormsJoinTheirPieces) {
  const Bytes text = fp7::EncodeText(std::string(1000, 'x') + std::string(1000, 'y') + "tail" +
                                     std::string(20, 'z'));
  CFMEngine engine;
  const CFMValue plain =
      Assemble(engine, fp7::ChunkWriter().LongValue(77, text, fp7::LongForm::kPlain), false);
  EXPECT_EQ(Summary(plain), "key 77, 2024 of 0, first 1, binary 0, text 0");
  ASSERT_NE(plain.m_pText, nullptr);
  EXPECT_EQ(std::string(plain.m_pText).substr(995, 10), "xxxxxyyyyy");
  EXPECT_EQ(plain.m_pText[2024], '\0');
  const fp7::ChunkWriter declared = Declared(0x03, {0, 0, 0, 5}, {{1, 2, 3}, {4, 5}});
  const CFMValue binary = Assemble(engine, declared, true);
  EXPECT_EQ(Summary(binary), "key 60, 5 of 5, first 1, binary 1, text 0");
  EXPECT_EQ(Bytes(binary.m_pRaw, binary.m_pRaw + 6), (Bytes{1, 2, 3, 4, 5, 0}));
  EXPECT_EQ(Summary(Assemble(engine, declared, false)),
            "key 60, 5 of 5, first 1, binary 0, text 1");
  // The values own their buffers: they outlive their pages.
  EXPECT_EQ(plain.m_pText[2023], 'z');
  EXPECT_EQ(binary.m_pRaw[4], 5);
}

TEST(Fp7LongValue, FailsOnPiecesItCannotCountOrNothingToJoin) {
  const std::vector<std::pair<const char*, fp7::ChunkWriter>> failing = {
      {"pieces over the total", Declared(0x03, {0, 0, 0, 5}, {{1, 2, 3}, {4, 5, 6}})},
      {"a total of 0", Declared(0x03, {0, 0, 0, 0}, {{1}})},
      {"a total of 0, nothing present", Declared(0x03, {0, 0, 0, 0}, {{}})},
      {"a total shorter than 4 bytes", Declared(0x02, {0, 5}, {{1}})},
      {"a key 0 after the first piece",
       fp7::ChunkWriter().Push(61).Value(1, Bytes{1, 2}).Value(0, Bytes{3}).Pop()},
      {"only empty pieces", fp7::ChunkWriter().Push(62).Value(1, Bytes{}).Pop()},
      {"no push", fp7::ChunkWriter().Value(1, Bytes{1})},
  };
  CFMEngine engine;
  for (const auto& [name, sub] : failing)
    EXPECT_EQ(Assemble(engine, sub, true).m_dwKey, 0u) << name;
}

}  // namespace
