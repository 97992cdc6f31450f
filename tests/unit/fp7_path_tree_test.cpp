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
