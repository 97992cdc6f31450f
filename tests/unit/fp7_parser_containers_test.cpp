// Container objects: pieces joined by object id across pages, declared sizes, file references.
#include <gtest/gtest.h>
#include <algorithm>

#include "api/library_state.h"
#include "fp7_parser_fixture.h"

namespace {

using fp7::Bytes;
using fp7::ChunkWriter;

// A page of table 129's container objects.
Bytes ObjectPage(const std::function<void(ChunkWriter&)>& objects) {
  return PageUnder({129, 31, 5}, objects);
}
// Data of object 7: `count` times `byte` as the piece `key`, after a size of `declared` bytes.
Bytes Data(uint32_t key, size_t count, uint8_t byte, uint32_t declared = 0) {
  return ObjectPage([=](ChunkWriter& p) {
    p.Push(7).PushName("FILE");
    if (declared != 0) p.ValueAs(0x03, 0, Bytes{0, 0, uint8_t(declared >> 8), uint8_t(declared)});
    p.Value(key, Bytes(count, byte)).Pop(2);
  });
}

// "name:size:bytes" of an object of the first parser, the bytes as numbers.
std::string Object(const Fp7ParserProbe& parser, uint32_t id) {
  const CBinaryDataInfo& object = *parser.m_BinaryData.at(id);
  std::string shown = object.m_szName != nullptr ? object.m_szName : "(none)";
  shown.append(1, ':').append(std::to_string(object.m_dwSize)).append(1, ':');
  for (uint32_t i = 0; object.m_pData != nullptr && i < object.m_dwSize; ++i) {
    shown += std::to_string(object.m_pData[i]);
  }
  return shown;
}

TEST_F(Fp7ParserTest, ContainerPiecesFromTwoPagesLandAt1000ByteOffsets) {
  OpenPages({ObjectPage([](ChunkWriter& p) {
               p.Push(7).NamedValue("FNAM", fp7::FileReference("photo.jpg")).Pop();
             }),
             Data(1, 1000, 0xAA), Filler(), Data(3, 200, 0xCC)})
      .ReadBynaryData(129);
  ASSERT_EQ(parser.m_BinaryData.size(), 1u);
  const CBinaryDataInfo& object = *parser.m_BinaryData.at(7);
  Bytes expected(2200, 0);
  std::fill_n(expected.begin(), 1000, 0xAA);
  std::fill_n(expected.begin() + 2000, 200, 0xCC);
  ASSERT_EQ(object.m_dwSize, 2200u);
  EXPECT_EQ(Bytes(object.m_pData, object.m_pData + 2200), expected);
  EXPECT_STREQ(object.m_szName, "photo.jpg");
}

TEST_F(Fp7ParserTest, ADeclaredContainerSizeKeepsOnlyPiecesThatEndWithinIt) {
  OpenPages({Data(1, 1000, 1, 1500), Data(2, 600, 2)}).ReadBynaryData(129);
  EXPECT_EQ(parser.m_BinaryData.at(7)->m_dwTotalSize, 1500u);
  EXPECT_EQ(parser.m_BinaryData.at(7)->m_dwSize, 1000u);
  Fp7ParserProbe& fits = OpenPages({Data(1, 1000, 1, 1500), Data(2, 500, 2)});
  fits.ReadBynaryData(129);
  ASSERT_EQ(fits.m_BinaryData.at(7)->m_dwSize, 1500u);
  EXPECT_EQ(fits.m_BinaryData.at(7)->m_pData[1499], 2);
}

TEST_F(Fp7ParserTest, PiecesFarApartEndTheObjectWhateverOrderTheyCameIn) {
  // Pieces 1 and 4 (2000 bytes found for 4000) are believed; piece 14 would make 14000 of 3000.
  Bytes expected(4000, 0);
  std::fill_n(expected.begin(), 1000, 1);
  std::fill_n(expected.begin() + 3000, 1000, 4);
  for (const std::vector<uint32_t>& order : {std::vector<uint32_t>{1, 4, 14}, {14, 4, 1}}) {
    std::vector<Bytes> pages;
    for (const uint32_t key : order) pages.push_back(Data(key, 1000, static_cast<uint8_t>(key)));
    Fp7ParserProbe& probe = OpenPages(pages);
    probe.ReadBynaryData(129);
    const CBinaryDataInfo& object = *probe.m_BinaryData.at(7);
    ASSERT_EQ(object.m_dwSize, 4000u) << order[0];
    EXPECT_EQ(Bytes(object.m_pData, object.m_pData + 4000), expected);
    EXPECT_TRUE(object.m_Pieces.empty());
  }
  // A piece standing alone far out leaves its object without bytes.
  Fp7ParserProbe& alone = OpenPages({Data(3, 200, 9)});
  alone.ReadBynaryData(129);
  EXPECT_EQ(alone.m_BinaryData.at(7)->m_dwSize, 0u);
  const std::string log = ReadFileText(dir / "qrx.log");
  EXPECT_NE(log.find("ReadBynaryData: object 7 ends at byte 4000 of 14000"), std::string::npos);
  EXPECT_NE(log.find("ReadBynaryData: object 7 ends at byte 0 of 2200"), std::string::npos);
}

TEST_F(Fp7ParserTest, TheHostsBreakEndsTheCollectionAndTheFileWriting) {
  uint8_t stop = 1;
  g_pBreakFlag = &stop;
  const Bytes named = ObjectPage([](ChunkWriter& p) {
    p.Push(7).NamedValue("FNAM", fp7::FileReference("a.bin")).NamedValue("FILE", Bytes(5, 1));
    p.Pop();
  });
  EXPECT_FALSE(OpenPages({named}).ReadBynaryData(129));
  EXPECT_TRUE(parser.m_BinaryData.empty());
  stop = 0;
  EXPECT_TRUE(parser.ReadBynaryData(129));
  stop = 1;
  const int written = parser.CreateBinaryFiles(Utf16(dir / "T.dbf").c_str());
  g_pBreakFlag = nullptr;
  EXPECT_EQ(written, -1000);
  EXPECT_FALSE(std::filesystem::exists(dir / "a.bin"));
  EXPECT_EQ(parser.CreateBinaryFiles(Utf16(dir / "T.dbf").c_str()), 0);
  EXPECT_EQ(ReadFileBytes(dir / "a.bin"), Bytes(5, 1));
}

TEST_F(Fp7ParserTest, ContainerObjectsJoinByIdAndAFreshOneTakesItsLastDataValue) {
  OpenPages({ObjectPage([](ChunkWriter& p) {
               p.Push(7).NamedValue("FNAM", fp7::FileReference("late.bin")).Pop();
               p.Push(8).NamedValue("FILE", Bytes(10, 1)).NamedValue("JPEG", Bytes(5, 2)).Pop();
             }),
             Data(1, 3, 4, 3)})
      .ReadBynaryData(129);
  EXPECT_EQ(Object(parser, 7), "late.bin:3:444");
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
  })}).ReadBynaryData(129);
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
  Bytes wrongKind = fp7::FileReference("a.txt"), lastMarkWins = fp7::FileReference("old");
  wrongKind[4] = 6;
  for (const Bytes& part : {Bytes{0xDA, 0}, fp7::EncodeText("new")}) {
    lastMarkWins.insert(lastMarkWins.end(), part.begin(), part.end());
  }
  // The name's length is the distance of the last 0xDA byte to the end, modulo 256.
  const auto tail = [](size_t length) {
    Bytes reference = fp7::FileReference("");
    reference.resize(12 + length, fp7::EncodeText("n")[0]);
    return reference;
  };
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {fp7::FileReference("pictures1", "mac"), "pictures1"},
      {fp7::FileReference("report.doc", "win"), "report.doc"},
      {fp7::FileReference("pictures1", "dos"), "(none)"},
      {wrongKind, "(none)"},
      {tail(0), "(none)"},
      {tail(258), "(none)"},
      {tail(259), "n"},
      {lastMarkWins, "new"}};
  for (const auto& [reference, name] : cases) EXPECT_EQ(nameOf(reference), name) << name;
  EXPECT_EQ(parser.ParseFileReference(nullptr, 40), nullptr);
}

}  // namespace
