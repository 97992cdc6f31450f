#include <gtest/gtest.h>

#include <string>

#include "engine/fp7_engine.h"
#include "unit/fp7_engine_fixture.h"

namespace {

using fp7::Bytes;
using fp7::LongForm;
using Indices = std::vector<uint16_t>;

TEST(Fp7PathTree, FindsTheTableListAndItsEntries) {
  fp7::ChunkWriter w;
  w.Push(3).Push(16).Push(5).Push(129).Value(16, Bytes{0x1B, 0x18}).Pop(4);
  CFMEngine engine;
  ParseData(engine, w.bytes());
  EXPECT_EQ(engine.FindPath({3, 16, 5}), 2);
  EXPECT_EQ(engine.GetSubPaths(2), Indices{3});
  std::optional<CFMNode> node = engine.GetNode(3, false, false);
  ASSERT_TRUE(node);
  EXPECT_EQ(node->m_dwId, 129u);
  ASSERT_EQ(node->Count(), 1);
  EXPECT_EQ(node->m_Values[0].m_dwKey, 16u);
  EXPECT_STREQ(node->m_Values[0].m_pText, "AB");
  CFMEngine::FreeNode(*node);
  EXPECT_EQ(node->m_dwId, 0u);
  EXPECT_EQ(node->Count(), 0);
}

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
}

TEST(Fp7PathTree, SubPathsAndChildrenFollowTheDepth) {
  fp7::ChunkWriter w;
  // 0 push 7 | 1 kv 1 | 2 push 8 | 3 kv 2 | 4 push 9 | 5 kv 3 | 6 pop | 7 pop | 8 kv 4 | 9 pop
  // 10 kv 5 (outside)
  w.Push(7).Value(1, Bytes{1}).Push(8).Value(2, Bytes{2}).Push(9).Value(3, Bytes{3}).Pop(2);
  w.Value(4, Bytes{4}).Pop().Value(5, Bytes{5});
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
  // A node whose sub-path is assembled: its value is the sub-path's id with its pieces joined.
  std::optional<CFMNode> node = engine.GetNode(2, true, true);
  ASSERT_TRUE(node);
  ASSERT_EQ(node->Count(), 2);
  EXPECT_EQ(node->m_Values[1].m_dwKey, 9u);
  EXPECT_EQ(node->m_Values[1].m_dwLength, 1u);
  EXPECT_EQ(node->m_Values[1].m_pRaw[0], 3);
}

// The long value under the push at index 1 of a page holding push 40, the sub-path and a pop.
CFMValue Assemble(CFMEngine& engine, const fp7::ChunkWriter& subPath, bool binary) {
  fp7::ChunkWriter page;
  page.Push(40).Raw(subPath.bytes()).Pop();
  ParseData(engine, page.bytes());
  CFMValue value;
  engine.AssembleLongValue(1, value, binary);
  return value;
}

TEST(Fp7LongValue, PlainFormJoinsAllPieces) {
  const Bytes text = fp7::EncodeText(std::string(1000, 'x') + std::string(1000, 'y') + "tail" +
                                     std::string(20, 'z'));
  fp7::ChunkWriter sub;
  sub.LongValue(77, text, LongForm::kPlain);
  CFMEngine engine;
  const CFMValue value = Assemble(engine, sub, false);
  EXPECT_EQ(value.m_dwKey, 77u);
  EXPECT_EQ(value.m_dwLength, 2024u);
  EXPECT_EQ(value.m_dwFirstPieceKey, 1u);
  EXPECT_EQ(value.m_bBinary, 0u);
  EXPECT_EQ(value.m_bDeclaredText, 0u);
  ASSERT_NE(value.m_pText, nullptr);
  EXPECT_EQ(std::string(value.m_pText).substr(995, 10), "xxxxxyyyyy");
  EXPECT_EQ(value.m_pText[2024], '\0');
  // The value owns its buffer: it outlives the page.
  engine.NextPage();
  EXPECT_EQ(value.m_pText[2023], 'z');
}

TEST(Fp7LongValue, DeclaredLengthFormChecksThePiecesAgainstTheTotal) {
  fp7::ChunkWriter fits, over, noTotal, shortTotal;
  fits.Push(60)
      .ValueAs(0x03, 0, Bytes{0, 0, 0, 5})
      .Value(1, Bytes{1, 2, 3})
      .Value(2, Bytes{4, 5})
      .Pop();
  over.Push(60)
      .ValueAs(0x03, 0, Bytes{0, 0, 0, 5})
      .Value(1, Bytes{1, 2, 3})
      .Value(2, Bytes{4, 5, 6})
      .Pop();
  noTotal.Push(60).ValueAs(0x03, 0, Bytes{0, 0, 0, 0}).Value(1, Bytes{1}).Pop();
  shortTotal.Push(60).ValueAs(0x02, 0, Bytes{0, 5}).Value(1, Bytes{1}).Pop();
  CFMEngine engine;
  const CFMValue value = Assemble(engine, fits, true);
  EXPECT_EQ(value.m_dwKey, 60u);
  EXPECT_EQ(value.m_dwLength, 5u);
  EXPECT_EQ(value.m_dwDeclaredLength, 5u);
  EXPECT_EQ(value.m_dwFirstPieceKey, 1u);
  EXPECT_EQ(value.m_bBinary, 1u);
  EXPECT_EQ(value.m_bDeclaredText, 0u);
  EXPECT_EQ(Bytes(value.m_pRaw, value.m_pRaw + 6), (Bytes{1, 2, 3, 4, 5, 0}));
  engine.NextPage();
  EXPECT_EQ(Assemble(engine, fits, false).m_bDeclaredText, 1u);
  for (const fp7::ChunkWriter* failing : {&over, &noTotal, &shortTotal}) {
    engine.NextPage();
    EXPECT_EQ(Assemble(engine, *failing, true).m_dwKey, 0u);
  }
}

TEST(Fp7LongValue, PlainFormFailsOnAnUncountedPieceOrNothingToJoin) {
  fp7::ChunkWriter keyZeroLater, empty, notPush;
  keyZeroLater.Push(61).Value(1, Bytes{1, 2}).Value(0, Bytes{3}).Pop();
  empty.Push(62).Value(1, Bytes{}).Pop();
  notPush.Value(1, Bytes{1});
  CFMEngine engine;
  EXPECT_EQ(Assemble(engine, keyZeroLater, true).m_dwKey, 0u);
  engine.NextPage();
  EXPECT_EQ(Assemble(engine, empty, true).m_dwKey, 0u);
  engine.NextPage();
  EXPECT_EQ(Assemble(engine, notPush, true).m_dwKey, 0u);
}

TEST(Fp7LongValue, NoMemoryForTheBufferFailsOnlyThatValue) {
  fp7::ChunkWriter sub;
  sub.LongValue(63, Bytes(10, 1), LongForm::kPlain, 4);
  CFMEngine engine;
  ParseData(engine, fp7::ChunkWriter().Push(40).Raw(sub.bytes()).Pop().bytes());
  qrx::heap::ResetCounting(1);  // every allocation from here on fails
  CFMValue value;
  engine.AssembleLongValue(1, value, true);
  qrx::heap::ResetCounting();
  EXPECT_EQ(value.m_dwKey, 0u);
  engine.AssembleLongValue(1, value, true);
  EXPECT_EQ(value.m_dwLength, 10u);
}

}  // namespace
