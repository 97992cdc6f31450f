// Container objects: pieces joined by object id across pages, declared sizes, file references.
#include <gtest/gtest.h>

#include "fp7_parser_fixture.h"

namespace {

using fp7::Bytes;
using fp7::ChunkWriter;

constexpr uint32_t kTable = 129;

Bytes ObjectPage(const std::function<void(ChunkWriter&)>& objects) {
  return PageUnder({kTable, 31, 5}, objects);
}

// The bytes and the name of the object, "name:size:bytes" with the bytes as numbers.
std::string Object(const Fp7ParserProbe& parser, uint32_t id) {
  const CBinaryDataInfo& object = *parser.m_BinaryData.at(id);
  std::string shown = object.m_szName != nullptr ? object.m_szName : "(none)";
  shown += ":" + std::to_string(object.m_dwSize) + ":";
  for (uint32_t i = 0; object.m_pData != nullptr && i < object.m_dwSize; ++i) {
    shown += std::to_string(object.m_pData[i]);
  }
  return shown;
}

TEST_F(Fp7ParserTest, ContainerPiecesFromTwoPagesLandAt1000ByteOffsets) {
  OpenPages({ObjectPage([](ChunkWriter& p) {
               p.Push(7).NamedValue("FNAM", fp7::FileReference("photo.jpg"));
               p.PushName("FILE").Value(1, Bytes(1000, 0xAA)).Pop().Pop();
             }),
             Filler(), ObjectPage([](ChunkWriter& p) {
               p.Push(7).PushName("FILE").Value(3, Bytes(200, 0xCC)).Pop(2);
             })});
  parser.ReadBynaryData(kTable);
  ASSERT_EQ(parser.m_BinaryData.size(), 1u);
  const CBinaryDataInfo& object = *parser.m_BinaryData.at(7);
  ASSERT_EQ(object.m_dwSize, 2200u);
  Bytes expected(1000, 0xAA);
  expected.resize(2000, 0);
  expected.resize(2200, 0xCC);
  EXPECT_EQ(Bytes(object.m_pData, object.m_pData + 2200), expected);
  EXPECT_STREQ(object.m_szName, "photo.jpg");
}

TEST_F(Fp7ParserTest, ADeclaredContainerSizeKeepsOnlyPiecesThatEndWithinIt) {
  const Bytes declared = ObjectPage([](ChunkWriter& p) {
    p.Push(7).PushName("FILE").ValueAs(0x03, 0, Bytes{0, 0, 0x05, 0xDC});  // 1500 bytes
    p.Value(1, Bytes(1000, 1)).Pop(2);
  });
  const auto second = [](size_t length) {
    return ObjectPage(
        [=](ChunkWriter& p) { p.Push(7).PushName("FILE").Value(2, Bytes(length, 2)).Pop(2); });
  };
  OpenPages({declared, second(600)});
  parser.ReadBynaryData(kTable);
  EXPECT_EQ(parser.m_BinaryData.at(7)->m_dwTotalSize, 1500u);
  EXPECT_EQ(parser.m_BinaryData.at(7)->m_dwSize, 1000u);

  Fp7ParserProbe& fits = OpenPages({declared, second(500)});
  fits.ReadBynaryData(kTable);
  ASSERT_EQ(fits.m_BinaryData.at(7)->m_dwSize, 1500u);
  EXPECT_EQ(fits.m_BinaryData.at(7)->m_pData[1499], 2);
}

TEST_F(Fp7ParserTest, ContainerObjectsJoinByIdAndAFreshOneTakesItsLastDataValue) {
  OpenPages({ObjectPage([](ChunkWriter& p) {
               p.Push(7).NamedValue("FNAM", fp7::FileReference("late.bin")).Pop();
               p.Push(8).NamedValue("FILE", Bytes(10, 1)).NamedValue("JPEG", Bytes(5, 2)).Pop();
             }),
             ObjectPage([](ChunkWriter& p) {
               p.Push(7).PushName("FILE").ValueAs(0x03, 0, Bytes{0, 0, 0, 3});
               p.Value(1, Bytes{1, 2, 3}).Pop(2);
             })});
  parser.ReadBynaryData(kTable);
  EXPECT_EQ(Object(parser, 7), "late.bin:3:123");
  EXPECT_EQ(Object(parser, 8), "(none):5:22222");
}

TEST_F(Fp7ParserTest, ContainerObjectsKeepWhatTheyHaveAndImpossibleSizesAreRefused) {
  OpenPages({ObjectPage([](ChunkWriter& p) {
    p.Push(1).NamedValue("FNAM", fp7::FileReference("only-name.txt")).Pop();
    p.Push(2).NamedValue("XXXX", Bytes(4, 1)).Text(5, "no key bytes").Pop();
    p.Push(0).NamedValue("FILE", Bytes(4, 1)).Pop();
    // A declared size far beyond the file, and a piece placed far beyond it.
    p.Push(3).PushName("FILE").ValueAs(0x03, 0, Bytes{0x7F, 0, 0, 0}).Value(1, Bytes(8, 3));
    p.Pop().PushName("JPEG").Value(60000, Bytes(8, 3)).Pop().Pop();
  })});
  parser.ReadBynaryData(kTable);
  ASSERT_EQ(parser.m_BinaryData.size(), 1u);
  EXPECT_EQ(Object(parser, 1), "only-name.txt:0:");
}

TEST_F(Fp7ParserTest, FileReferencesNameTheirObjectOnlyWhenWellFormed) {
  OpenPages({Filler()});
  const auto nameOf = [&](const Bytes& reference) -> std::string {
    Fp7HeapArray<char> name =
        parser.ParseFileReference(reference.data(), static_cast<uint32_t>(reference.size()));
    return name != nullptr ? name.get() : "(none)";
  };
  Bytes wrongKind = fp7::FileReference("a.txt");
  wrongKind[4] = 6;
  // The name's length is the distance of the last 0xDA byte to the end, modulo 256.
  const Bytes head = fp7::FileReference("");
  Bytes tail258 = head, tail259 = head;
  tail258.resize(12 + 258, fp7::EncodeText("n")[0]);
  tail259.resize(12 + 259, fp7::EncodeText("n")[0]);
  Bytes lastMarkWins = fp7::FileReference("old");
  lastMarkWins.insert(lastMarkWins.end(), {0xDA, 0});
  const Bytes newer = fp7::EncodeText("new");
  lastMarkWins.insert(lastMarkWins.end(), newer.begin(), newer.end());
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {fp7::FileReference("pictures1", "mac"), "pictures1"},
      {fp7::FileReference("report.doc", "win"), "report.doc"},
      {fp7::FileReference("pictures1", "dos"), "(none)"},
      {wrongKind, "(none)"},
      {Bytes(head.begin(), head.begin() + 12), "(none)"},
      {tail258, "(none)"},
      {tail259, "n"},
      {lastMarkWins, "new"}};
  for (const auto& [reference, name] : cases) EXPECT_EQ(nameOf(reference), name) << name;
  EXPECT_EQ(parser.ParseFileReference(nullptr, 40), nullptr);
}

}  // namespace
