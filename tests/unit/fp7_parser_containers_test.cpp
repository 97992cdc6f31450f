// Container objects: pieces joined by object id across pages, declared sizes, file references.
#include <gtest/gtest.h>

#include "fp7_parser_fixture.h"

namespace {

using fp7::Bytes;
using fp7::ChunkWriter;

constexpr uint32_t kTable = 129;

// A page with the container list of table 129 opened, `objects` written, the list closed.
Bytes ObjectPage(const std::function<void(ChunkWriter&)>& objects) {
  ChunkWriter page;
  page.Push(kTable).Push(31).Push(5);
  objects(page);
  page.Pop(3).Text(1, "behind");
  return page.bytes();
}

Bytes Filled(uint8_t byte, size_t count) {
  return Bytes(count, byte);
}

class Fp7ContainersTest : public Fp7ParserTest {
 protected:
  const CBinaryDataInfo& Object(uint32_t id) { return *parser.m_BinaryData.at(id); }
  std::string Name(uint32_t id) {
    const CBinaryDataInfo& object = Object(id);
    return object.m_szName != nullptr ? object.m_szName : "(none)";
  }
  std::string NameOf(const Bytes& reference) {
    Fp7HeapArray<char> name =
        parser.ParseFileReference(reference.data(), static_cast<uint32_t>(reference.size()));
    return name != nullptr ? name.get() : "(none)";
  }
};

TEST_F(Fp7ContainersTest, PiecesFromTwoPagesLandAtTheirOffsets) {
  OpenPages({ObjectPage([](ChunkWriter& p) {
               p.Push(7).NamedValue("FNAM", fp7::FileReference("photo.jpg"));
               p.PushName("FILE").Value(1, Filled(0xAA, 1000)).Pop().Pop();
             }),
             Filler(), ObjectPage([](ChunkWriter& p) {
               p.Push(7).PushName("FILE").Value(3, Filled(0xCC, 200)).Pop(2);
             })});
  parser.ReadBynaryData(kTable);
  ASSERT_EQ(parser.m_BinaryData.size(), 1u);
  const CBinaryDataInfo& object = Object(7);
  ASSERT_EQ(object.m_dwSize, 2200u);
  EXPECT_EQ(Bytes(object.m_pData, object.m_pData + 1000), Filled(0xAA, 1000));
  EXPECT_EQ(Bytes(object.m_pData + 1000, object.m_pData + 2000), Filled(0, 1000));
  EXPECT_EQ(Bytes(object.m_pData + 2000, object.m_pData + 2200), Filled(0xCC, 200));
  EXPECT_EQ(Name(7), "photo.jpg");
  EXPECT_TRUE(Logged("ReadBynaryData: Start\n"));
  EXPECT_TRUE(Logged("ReadBynaryData: End\n"));
}

TEST_F(Fp7ContainersTest, ADeclaredSizeKeepsOnlyPiecesThatEndWithinIt) {
  const auto declared = [](ChunkWriter& p) {
    p.Push(7).PushName("FILE").ValueAs(0x03, 0, Bytes{0, 0, 0x05, 0xDC});
    p.Value(1, Filled(1, 1000)).Pop(2);
  };
  const auto second = [](size_t length) {
    return [=](ChunkWriter& p) { p.Push(7).PushName("FILE").Value(2, Filled(2, length)).Pop(2); };
  };
  OpenPages({ObjectPage(declared), ObjectPage(second(600))});
  parser.ReadBynaryData(kTable);
  EXPECT_EQ(Object(7).m_dwTotalSize, 1500u);
  EXPECT_EQ(Object(7).m_dwSize, 1000u);

  Fp7ParserProbe other;
  WriteFileBytes(dir / "fits.fp7", fp7::MakeFile({ObjectPage(declared), ObjectPage(second(500))}));
  CFileConnector fits;
  ASSERT_EQ(fits.OpenSource(Utf16(dir / "fits.fp7").c_str()), 0);
  ASSERT_TRUE(other.AttachSource(&fits));
  other.ReadBynaryData(kTable);
  const CBinaryDataInfo& object = *other.m_BinaryData.at(7);
  ASSERT_EQ(object.m_dwSize, 1500u);
  EXPECT_EQ(object.m_pData[1499], 2);
}

TEST_F(Fp7ContainersTest, ASecondDataValueOfANewObjectReplacesTheFirst) {
  OpenPages({ObjectPage([](ChunkWriter& p) {
    p.Push(7).NamedValue("FILE", Filled(0xAA, 10)).NamedValue("JPEG", Filled(0xBB, 5)).Pop();
  })});
  parser.ReadBynaryData(kTable);
  const CBinaryDataInfo& object = Object(7);
  ASSERT_EQ(object.m_dwSize, 5u);
  EXPECT_EQ(Bytes(object.m_pData, object.m_pData + 6), (Bytes{0xBB, 0xBB, 0xBB, 0xBB, 0xBB, 0}));
}

TEST_F(Fp7ContainersTest, ObjectsKeepWhatTheyHaveAndImpossibleSizesAreRefused) {
  OpenPages({ObjectPage([](ChunkWriter& p) {
    p.Push(1).NamedValue("FNAM", fp7::FileReference("only-name.txt")).Pop();
    p.Push(2).NamedValue("XXXX", Filled(1, 4)).Text(5, "no key bytes").Pop();
    p.Push(0).NamedValue("FILE", Filled(1, 4)).Pop();
    // A declared size far beyond the file, and a piece placed far beyond it.
    p.Push(3).PushName("FILE").ValueAs(0x03, 0, Bytes{0x7F, 0, 0, 0}).Value(1, Filled(3, 8));
    p.Pop().PushName("JPEG").Value(60000, Filled(3, 8)).Pop().Pop();
  })});
  parser.ReadBynaryData(kTable);
  ASSERT_EQ(parser.m_BinaryData.size(), 1u);
  EXPECT_EQ(Name(1), "only-name.txt");
  EXPECT_EQ(Object(1).m_pData, nullptr);
}

TEST_F(Fp7ContainersTest, AnObjectNamedOnOnePageGetsItsBytesOnTheNext) {
  OpenPages({ObjectPage([](ChunkWriter& p) {
               p.Push(7).NamedValue("FNAM", fp7::FileReference("late.bin")).Pop();
             }),
             ObjectPage([](ChunkWriter& p) {
               p.Push(7).PushName("FILE").ValueAs(0x03, 0, Bytes{0, 0, 0, 3});
               p.Value(1, Bytes{1, 2, 3}).Pop(2);
             })});
  parser.ReadBynaryData(kTable);
  const CBinaryDataInfo& object = Object(7);
  ASSERT_EQ(object.m_dwSize, 3u);
  EXPECT_EQ(Bytes(object.m_pData, object.m_pData + 3), (Bytes{1, 2, 3}));
  EXPECT_EQ(Name(7), "late.bin");
}

TEST_F(Fp7ContainersTest, FileReferencesNameTheirObjectOnlyWhenWellFormed) {
  OpenPages({Filler()});
  EXPECT_EQ(NameOf(fp7::FileReference("pictures1", "mac")), "pictures1");
  EXPECT_EQ(NameOf(fp7::FileReference("report.doc", "win")), "report.doc");
  EXPECT_EQ(NameOf(fp7::FileReference("pictures1", "dos")), "(none)");

  Bytes wrongKind = fp7::FileReference("a.txt");
  wrongKind[4] = 6;
  EXPECT_EQ(NameOf(wrongKind), "(none)");
  // The name's length comes from the distance of the last 0xDA byte to the end, modulo 256.
  const Bytes head = fp7::FileReference("");
  EXPECT_EQ(NameOf(Bytes(head.begin(), head.begin() + 12)), "(none)");
  Bytes tail258 = head;
  tail258.resize(12 + 258, fp7::EncodeText("n")[0]);
  EXPECT_EQ(NameOf(tail258), "(none)");
  Bytes tail259 = head;
  tail259.resize(12 + 259, fp7::EncodeText("n")[0]);
  EXPECT_EQ(NameOf(tail259), "n");
  Bytes lastMarkWins = fp7::FileReference("old");
  lastMarkWins.insert(lastMarkWins.end(), {0xDA, 0});
  const Bytes newer = fp7::EncodeText("new");
  lastMarkWins.insert(lastMarkWins.end(), newer.begin(), newer.end());
  EXPECT_EQ(NameOf(lastMarkWins), "new");
  EXPECT_EQ(parser.ParseFileReference(nullptr, 40), nullptr);
}

}  // namespace
