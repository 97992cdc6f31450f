#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "deep/fp7_page.h"
#include "deep/fp7_text.h"
#include "support/fp7_builder.h"
#include "support/real_samples.h"
#include "support/temp_dir.h"

namespace {

using fp7::Bytes;

std::string Show(std::span<const uint8_t> bytes) {
  std::string out = "\"";
  for (const uint8_t b : bytes) {
    if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
      out += static_cast<char>(b);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", b);
      out += hex;
    }
  }
  return out + "\"";
}

std::string ShowPath(std::span<const deep::PathPart> path) {
  std::string out;
  for (const deep::PathPart& part : path) {
    if (!out.empty()) out += "/";
    if (part.isName) {
      out += Show(part.name);
      continue;
    }
    if (part.tag != 0) out += std::to_string(part.tag) + ":";
    out += std::to_string(part.id);
  }
  return out;
}

// Every value and piece as one line: `path k<key>=<value>` or `path #<piece>=<bytes>`.
class Recorder : public deep::Fp7PageVisitor {
 public:
  void OnValue(std::span<const deep::PathPart> path, const deep::ChunkKey& key,
               std::span<const uint8_t> value) override {
    std::string k = key.isBytes ? Show(key.bytes) : std::to_string(key.number);
    if (key.tag != 0) k = std::to_string(key.tag) + ":" + k;
    events.push_back(ShowPath(path) + " k" + k + "=" + Show(value));
  }
  void OnSegment(std::span<const deep::PathPart> path, uint32_t piece,
                 std::span<const uint8_t> bytes) override {
    events.push_back(ShowPath(path) + " #" + std::to_string(piece) + "=" + Show(bytes));
  }
  std::vector<std::string> events;
};

deep::PageOutcome Decode(const Bytes& page, Recorder& recorder) {
  return deep::DecodeFp7Page(page, recorder);
}

std::vector<std::string> Events(const Bytes& data) {
  Recorder recorder;
  const deep::PageOutcome outcome = Decode(fp7::MakePage(data), recorder);
  EXPECT_FALSE(outcome.damaged) << outcome.why;
  EXPECT_EQ(outcome.stoppedAt, fp7::kHeaderSize + data.size());
  return recorder.events;
}

TEST(DeepFp7Page, EveryKeyValueAndSegmentFormHandsOnPathKeyAndBytes) {
  struct Row {
    std::function<void(fp7::ChunkWriter&)> write;
    std::string expected;
  };
  const Bytes b8{1, 2, 3, 4, 5, 6, 7, 8};
  const auto first = [&b8](size_t n) { return fp7::ByteView(b8).first(n); };
  const Row rows[] = {
      {[&](auto& w) { w.ValueAs(0x01, 7, first(1)); }, "2 k7=\"\\x01\""},
      {[&](auto& w) { w.ValueAs(0x02, 7, first(2)); }, "2 k7=\"\\x01\\x02\""},
      {[&](auto& w) { w.ValueAs(0x03, 254, first(4)); }, "2 k254=\"\\x01\\x02\\x03\\x04\""},
      {[&](auto& w) { w.ValueAs(0x04, 7, first(6)); }, "2 k7=\"\\x01\\x02\\x03\\x04\\x05\\x06\""},
      {[&](auto& w) { w.ValueAs(0x05, 7, b8); },
       "2 k7=\"\\x01\\x02\\x03\\x04\\x05\\x06\\x07\\x08\""},
      {[](auto& w) { w.Value(3, fp7::View("18/11/2004")); }, "2 k3=\"18/11/2004\""},
      {[](auto& w) { w.ValueAs(0x06, 9, {}); }, "2 k9=\"\""},
      {[](auto& w) { w.Segment(0x07, 13, fp7::View("piece")); }, "2 #13=\"piece\""},
      {[](auto& w) {
         w.Raw(Bytes{0x09, 0x00, 0x15, 0x77});
       },
       "2 k21=\"w\""},
      {[](auto& w) {
         w.Raw(Bytes{0x09, 0xFF, 0x01, 0x77});
       },
       "2 k32641=\"w\""},
      {[&](auto& w) { w.ValueAs(0x0A, 200, first(2)); }, "2 k200=\"\\x01\\x02\""},
      {[&](auto& w) { w.ValueAs(0x0B, 129, first(4)); }, "2 k129=\"\\x01\\x02\\x03\\x04\""},
      {[&](auto& w) { w.ValueAs(0x0C, 130, first(6)); },
       "2 k130=\"\\x01\\x02\\x03\\x04\\x05\\x06\""},
      {[&](auto& w) { w.ValueAs(0x0D, 131, b8); },
       "2 k131=\"\\x01\\x02\\x03\\x04\\x05\\x06\\x07\\x08\""},
      {[](auto& w) {
         w.Raw(Bytes{0x0E, 0x00, 0x01, 0x05, 0, 0, 0, 0, 1});
       },
       "2 k1=\"\\x00\\x00\\x00\\x00\\x01\""},
      {[](auto& w) { w.ValueAs(0x0E, 300, fp7::View("x")); }, "2 k300=\"x\""},
      {[](auto& w) { w.Segment(0x0F, 128, fp7::View("p128")); }, "2 #128=\"p128\""},
      {[](auto& w) { w.Segment(0x0F, 168, fp7::View("p168")); }, "2 #168=\"p168\""},
      {[](auto& w) {
         w.Raw(Bytes{0x16, 0xD0, 0x00, 0x09, 0x02, 0xAA, 0xBB});
       },
       "2 k208:137=\"\\xaa\\xbb\""},
      {[](auto& w) {
         w.Raw(Bytes{0x17, 0x01, 0x01, 0x00, 0x00, 0x01, 0x41});
       },
       "2 k1:384=\"A\""},
      {[](auto& w) {
         w.Raw(Bytes{0x18, 0x04, 0xE0, 0x0C, 0x34, 0xDA});
       },
       "2 k4:57484=\"4\\xda\""},
      {[](auto& w) {
         w.Raw(Bytes{0x19, 0x07, 0x00, 0x03, 0xD0, 0x00, 0x09, 0x01, 0x06, 0x00});
       },
       "2 k\"\\x00\\x03\\xd0\\x00\\x09\\x01\\x06\"=\"\\x00\""},
      {[&](auto& w) { w.NamedValueAs(0x1A, "ab", first(2)); }, "2 k\"ab\"=\"\\x01\\x02\""},
      {[](auto& w) {
         w.Raw(Bytes{0x1B, 0x04, 0x00, 0x00, 0x00, 0x01, 0x03, 0xD0, 0x00, 0x02});
       },
       "2 k\"\\x00\\x00\\x00\\x01\"=\"\\x03\\xd0\\x00\\x02\""},
      {[&](auto& w) { w.NamedValueAs(0x1C, "c", first(6)); },
       "2 k\"c\"=\"\\x01\\x02\\x03\\x04\\x05\\x06\""},
      {[](auto& w) { w.NamedValueAs(0x1D, "\x03", fp7::View("Fraiches")); },
       "2 k\"\\x03\"=\"Fraiches\""},
      {[](auto& w) { w.NamedValueAs(0x1E, "FNAM", fp7::View("ref")); }, "2 k\"FNAM\"=\"ref\""},
      {[](auto& w) { w.NamedValueAs(0x1F, "JPEG", Bytes(758, 'j')); },
       "2 k\"JPEG\"=\"" + std::string(758, 'j') + "\""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    fp7::ChunkWriter w;
    w.Push(2);
    rows[i].write(w);
    EXPECT_EQ(Events(w.bytes()), std::vector<std::string>{rows[i].expected}) << "row " << i;
  }
}

TEST(DeepFp7Page, PushesInEveryFormAndPopsShapeThePath) {
  fp7::ChunkWriter w;
  w.Push(3).Push(16).Push(5).PushAs(0x28, 130).Value(16, fp7::View("T")).Pop();
  w.PushTagged(0xD0, 0x0002).Value(1, fp7::View("a")).Pop();
  w.PushTagged(0x7F, 0xFE7F).Value(1, fp7::View("b")).Pop(4);
  w.Raw(Bytes{0x20, 0xFE, 0, 0, 0, 1, 0, 0, 0, 2}).Value(1, fp7::View("c")).Raw(Bytes{0x3D});
  w.PushName("BMPf").Value(0, fp7::View("d")).Pop(3);  // two pops below the root are ignored
  w.Raw(Bytes{0x80, 0x80}).Push(255).Value(1, fp7::View("e"));
  EXPECT_EQ(Events(w.bytes()),
            (std::vector<std::string>{"3/16/5/130 k16=\"T\"", "3/16/5/208:130 k1=\"a\"",
                                      "3/16/5/127:65279 k1=\"b\"", "4294967298 k1=\"c\"",
                                      "\"BMPf\" k0=\"d\"", "255 k1=\"e\""}));
  EXPECT_EQ(Events(fp7::ChunkWriter().PushId8(0x0102030405060708).ValueAs(0x06, 9, {}).bytes()),
            std::vector<std::string>{"72623859790382856 k9=\"\""});
}

TEST(DeepFp7Page, DataChunksWithoutKeyAreSkipped) {
  fp7::ChunkWriter w;
  w.Push(2).Value(1, fp7::View("before"));
  w.Data(0x00, Bytes{0x42}).Data(0x08, Bytes(2, 8)).Data(0x0E, Bytes(5, 0x0E));
  for (uint8_t op = 0x10; op <= 0x15; ++op) {
    static constexpr size_t kSizes[] = {3, 4, 5, 7, 9, 11};
    w.Data(op, Bytes(kSizes[op - 0x10], op));
  }
  w.Data(0x23, Bytes(30, 0x23)).Value(2, fp7::View("after"));
  Recorder recorder;
  const deep::PageOutcome outcome = Decode(fp7::MakePage(w.bytes()), recorder);
  EXPECT_FALSE(outcome.damaged);
  EXPECT_EQ(outcome.chunks, 13u);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"2 k1=\"before\"", "2 k2=\"after\""}));
}

TEST(DeepFp7Page, LiveLengthFullPagesAndTheEndMarker) {
  // A full page (count 0) decodes to its very last byte.
  fp7::ChunkWriter full;
  full.Push(4);
  while (full.bytes().size() + 206 <= fp7::kPageSize - fp7::kHeaderSize) {
    full.Value(2, Bytes(200, 'b'));
  }
  const size_t rest = fp7::kPageSize - fp7::kHeaderSize - full.bytes().size();
  full.Value(3, Bytes(rest - 3, 'c'));
  ASSERT_EQ(full.bytes().size(), fp7::kPageSize - fp7::kHeaderSize);
  Recorder recorder;
  deep::PageOutcome outcome = Decode(fp7::MakePageWithCount(full.bytes(), 0), recorder);
  EXPECT_FALSE(outcome.damaged);
  EXPECT_EQ(outcome.stoppedAt, fp7::kPageSize);
  EXPECT_EQ(recorder.events.back(), "4 k3=\"" + std::string(rest - 3, 'c') + "\"");

  // Bytes behind the live length are never read, even when they hold chunks.
  Bytes data = fp7::ChunkWriter().Push(4).Value(1, fp7::View("live")).bytes();
  const uint16_t unused = static_cast<uint16_t>(fp7::kPageSize - fp7::kHeaderSize - data.size());
  fp7::ChunkWriter stale;
  stale.Raw(data).Value(2, fp7::View("stale"));
  recorder.events.clear();
  outcome = Decode(fp7::MakePageWithCount(stale.bytes(), unused), recorder);
  EXPECT_FALSE(outcome.damaged);
  EXPECT_EQ(recorder.events, std::vector<std::string>{"4 k1=\"live\""});

  // `00 00` ends the data, also under an impossible count that leaves the whole area open.
  fp7::ChunkWriter ended;
  ended.Push(4).Value(1, fp7::View("x")).Raw(Bytes{0, 0}).Value(2, fp7::View("y"));
  for (const uint16_t count : {uint16_t{0}, uint16_t{4076}, uint16_t{0xFFFF}}) {
    recorder.events.clear();
    outcome = Decode(fp7::MakePageWithCount(ended.bytes(), count), recorder);
    EXPECT_FALSE(outcome.damaged) << count;
    EXPECT_EQ(outcome.stoppedAt, fp7::kHeaderSize + 6) << count;
    EXPECT_EQ(recorder.events, std::vector<std::string>{"4 k1=\"x\""}) << count;
  }
}

struct DamageCase {
  const char* name;
  Bytes page;
  uint32_t stoppedAt;
  const char* why;
  std::vector<std::string> events;
};

// The value right before the damage may have run into the damaged bytes: it is dropped with them.
TEST(DeepFp7Page, DamageEndsThePageAndDropsTheValueRightBeforeIt) {
  const Bytes lead =
      fp7::ChunkWriter().Push(2).Value(1, fp7::View("ok")).Value(2, fp7::View("x")).bytes();
  const uint32_t at = static_cast<uint32_t>(fp7::kHeaderSize + lead.size());
  const std::vector<std::string> kept = {"2 k1=\"ok\""};
  const auto page = [&lead](Bytes tail) {
    Bytes data = lead;
    data.insert(data.end(), tail.begin(), tail.end());
    return fp7::MakePage(data);
  };
  Bytes tooLong = lead;
  tooLong.insert(tooLong.end(), {0x06, 0x03, 0x0A, 'a', 'b', 'c'});
  Bytes deep = lead;
  for (int i = 0; i < 62; ++i) deep.insert(deep.end(), {0x20, 0x01});  // depth 63
  deep.insert(deep.end(), {0x01, 0x05, 0x55, 0x20, 0x01, 0x20, 0x01, 0x01, 0x06, 0x66});
  Bytes cut = page(fp7::ChunkWriter().Value(2, fp7::View("cut off")).bytes());
  cut.resize(at + 4);

  const DamageCase cases[] = {
      {"unknown opcode", page({0x7A, 0x01, 0x02, 0x03}), at, "unknown opcode 0x7A", kept},
      {"index opcode after the start",
       page([] {
         Bytes noOps(20, 0x80);
         noOps.push_back(0xC3);
         return noOps;
       }()),
       at + 20,
       "unknown opcode 0xC3",
       {"2 k1=\"ok\"", "2 k2=\"x\""}},
      {"value past the live data", fp7::MakePage(tooLong), at, "chunk runs past the live data",
       kept},
      {"cut page", cut, at, "page cut short", kept},
      {"path deeper than the limit",
       fp7::MakePage(deep),
       at + 62 * 2 + 3 + 2,
       "path nested deeper than 64 levels",
       {}},
  };
  for (const DamageCase& c : cases) {
    Recorder recorder;
    const deep::PageOutcome outcome = Decode(c.page, recorder);
    EXPECT_EQ(outcome.kind, deep::PageKind::kData) << c.name;
    EXPECT_TRUE(outcome.damaged) << c.name;
    EXPECT_EQ(outcome.stoppedAt, c.stoppedAt) << c.name;
    EXPECT_STREQ(outcome.why, c.why) << c.name;
    if (!c.events.empty()) {
      EXPECT_EQ(recorder.events, c.events) << c.name;
    }
  }
  Recorder recorder;
  Decode(fp7::MakePage(deep), recorder);
  ASSERT_EQ(recorder.events.size(), 3u);
  EXPECT_TRUE(recorder.events[2].ends_with("/1 k5=\"U\"")) << recorder.events[2];
}

TEST(DeepFp7Page, IndexAndEmptyPagesHandOnNothing) {
  // The start of data.fp7 page 1: the first index entry, then entries with flagged opcodes.
  const Bytes root{0x1B, 0x00, 0x01, 0, 0, 0,    2,    0x20, 0x02, 0x20, 0x87, 0x03,
                   0x03, 0,    0,    0, 8, 0xC3, 0x06, 0,    0,    0,    9};
  Bytes flaggedEarly = fp7::ChunkWriter().Push(2).Push(0x87).bytes();
  flaggedEarly.insert(flaggedEarly.end(), {0xC3, 0x06, 0, 0, 0, 9});
  Bytes levelOne = fp7::MakePage(fp7::ChunkWriter().Push(2).Value(1, fp7::View("a")).bytes());
  levelOne[1] = 1;
  Bytes emptyData = fp7::MakePageWithCount(Bytes{}, 100);
  emptyData[11] = 9;  // a next link, so the page is not all zeros
  const struct {
    Bytes page;
    deep::PageKind kind;
  } cases[] = {{fp7::MakePage(root), deep::PageKind::kIndex},
               {fp7::MakePage(flaggedEarly), deep::PageKind::kIndex},
               {levelOne, deep::PageKind::kIndex},
               {Bytes(fp7::kPageSize, 0), deep::PageKind::kEmpty},
               {emptyData, deep::PageKind::kEmpty}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    Recorder recorder;
    const deep::PageOutcome outcome = Decode(cases[i].page, recorder);
    EXPECT_EQ(outcome.kind, cases[i].kind) << i;
    EXPECT_FALSE(outcome.damaged) << i;
    EXPECT_TRUE(recorder.events.empty()) << i;
  }
}

TEST(DeepFp7Page, NoiseNeverReadsOutsideThePage) {
  std::mt19937 random(7);
  const Bytes good = fp7::LayOutDatabase(fp7::SampleTables(1, 40)).front();  // a healthy data area
  for (int round = 0; round < 3000; ++round) {
    Bytes page = fp7::MakePage(good);
    const int flips = 1 + static_cast<int>(random() % 40);
    for (int i = 0; i < flips; ++i) page[random() % page.size()] = static_cast<uint8_t>(random());
    if (round % 3 == 0) page.resize(random() % page.size());
    Recorder recorder;
    const deep::PageOutcome outcome = Decode(page, recorder);
    EXPECT_LE(outcome.stoppedAt, page.size());
  }
}

// The real samples: every data page decodes cleanly to exactly its live length.
TEST(DeepFp7Page, RealSamplesDecodeToTheirLiveLength) {
  for (const char* name : {"data.fp7", "Dynamic_Fields.fp7"}) {
    QRX_REAL_SAMPLE_OR_SKIP(sample, std::string("fp7/") + name);
    const Bytes file = ReadFileBytes(sample);
    ASSERT_EQ(file.size() % fp7::kPageSize, 0u) << name;
    for (size_t n = 1; n < file.size() / fp7::kPageSize; ++n) {
      const fp7::ByteView page = fp7::ByteView(file).subspan(n * fp7::kPageSize, fp7::kPageSize);
      Recorder recorder;
      const deep::PageOutcome outcome = deep::DecodeFp7Page(page, recorder);
      if (n == 1) {
        EXPECT_EQ(outcome.kind, deep::PageKind::kIndex) << name;
        continue;
      }
      const uint32_t unused = (page[14] << 8) | page[15];
      EXPECT_EQ(outcome.kind, deep::PageKind::kData) << name << " page " << n;
      EXPECT_FALSE(outcome.damaged) << name << " page " << n << ": " << outcome.why;
      EXPECT_EQ(outcome.stoppedAt, fp7::kPageSize - unused) << name << " page " << n;
    }
  }
}

TEST(DeepFp7Page, RealTableCatalogueGivesTheTableNames) {
  QRX_REAL_SAMPLE_OR_SKIP(sample, "fp7/data.fp7");
  struct Catalogue : deep::Fp7PageVisitor {
    void OnValue(std::span<const deep::PathPart> path, const deep::ChunkKey& key,
                 std::span<const uint8_t> value) override {
      if (path.size() == 4 && path[0].id == 3 && path[1].id == 16 && path[2].id == 5 &&
          !key.isBytes && key.number == 16) {
        names.push_back(deep::DecodeFp7Text(value));
      }
    }
    void OnSegment(std::span<const deep::PathPart>, uint32_t, std::span<const uint8_t>) override {}
    std::vector<std::u16string> names;
  } catalogue;
  const Bytes file = ReadFileBytes(sample);
  for (size_t at = 2 * fp7::kPageSize; at + fp7::kPageSize <= file.size(); at += fp7::kPageSize) {
    deep::DecodeFp7Page(fp7::ByteView(file).subspan(at, fp7::kPageSize), catalogue);
  }
  EXPECT_EQ(catalogue.names, (std::vector<std::u16string>{u"Orders", u"Products", u"Order_lines"}));
}

}  // namespace
