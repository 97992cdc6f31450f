// Stored files from files made to hurt, recovered through FileRecover: pieces numbered far apart,
// a page repeated thousands of times, a table listed again and again, links and dotfiles planted
// in the target folder, a name taken by a folder. Output stays in proportion to the source and
// inside the target folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/fp7_builder.h"
#include "support/recovery_sandbox.h"

namespace {

namespace fs = std::filesystem;
using fp7::Bytes;
using fp7::ChunkWriter;
using ObjectWriter = std::function<void(ChunkWriter&)>;

// A sample table with records, then `copies` more catalogue entries of a table 130 without records
// whose container objects `objects` writes on one page after another (`pages` of them).
Bytes Database(const ObjectWriter& objects, size_t pages = 1, size_t copies = 1) {
  std::vector<fp7::Table> tables = fp7::SampleTables(1, 2);
  fp7::Table holder;
  holder.id = 130;
  holder.name = "Objects";
  tables.insert(tables.end(), copies, holder);
  fp7::PageWriter head;
  fp7::WriteTableCatalogue(head, tables);
  fp7::WriteColumns(head, tables[0]);
  fp7::WriteRecords(head, tables[0]);
  std::vector<Bytes> areas = head.Pages();
  fp7::PageWriter list;
  list.Push(130).Push(31).Push(5);
  objects(list);
  list.Pop(3);
  for (size_t page = 0; page < pages; ++page) {
    for (const Bytes& area : list.Pages()) areas.push_back(area);
  }
  return fp7::MakeFile(areas);
}

// "<letter><number>", a name for object `id`.
std::string Numbered(char letter, uint32_t id) {
  std::string name(1, letter);
  name += std::to_string(id);
  return name;
}

// Object `id` named `name`, with `length` bytes of `id` as each of the pieces `keys`, each piece
// in an occurrence of its own (the pieces of one occurrence are joined end to end).
void Object(ChunkWriter& out, uint32_t id, const std::string& name,
            std::initializer_list<uint32_t> keys, size_t length = 1000) {
  out.Push(id).NamedValue("FNAM", fp7::FileReference(name)).Pop();
  for (const uint32_t key : keys) {
    out.Push(id).PushName("FILE").Value(key, Bytes(length, static_cast<uint8_t>(id))).Pop(2);
  }
}

uintmax_t BytesIn(const fs::path& folder) {
  uintmax_t total = 0;
  for (const auto& entry : fs::directory_iterator(folder)) total += entry.file_size();
  return total;
}

TEST(ContainerFiles, CraftedPiecesWriteNoMoreThanTheSourceHolds) {
  // Objects of one byte numbered near the end of the file; a page of objects numbered far out
  // repeated 400 times; objects whose pieces leave gaps three times their size.
  const auto farOut = [](uint32_t key) {
    return [key](ChunkWriter& out) {
      for (uint32_t id = 1; id <= 1500; ++id) Object(out, id, Numbered('f', id), {key}, 1);
    };
  };
  const ObjectWriter repeated = [](ChunkWriter& out) {
    for (uint32_t id = 1; id <= 60; ++id) Object(out, id, Numbered('r', id), {1000}, 8);
  };
  const ObjectWriter gaps = [](ChunkWriter& out) {
    for (uint32_t id = 1; id <= 20; ++id) Object(out, id, Numbered('g', id), {1, 8});
  };
  const auto lastKey = static_cast<uint32_t>(Database(farOut(1)).size() / 1000 - 2);
  const std::vector<Bytes> files = {Database(farOut(lastKey)), Database(repeated, 400),
                                    Database(gaps)};
  RecoverySandbox sandbox(false);
  for (const Bytes& file : files) {
    EXPECT_EQ(sandbox.Recover(file), QRX_OK);
    EXPECT_EQ(sandbox.Strays(), std::vector<fs::path>{});
    EXPECT_LE(BytesIn(sandbox.target()), 4 * file.size()) << file.size();
  }
  // The objects with gaps are written whole, 8000 bytes for the 2000 found.
  EXPECT_EQ(fs::file_size(sandbox.target() / "g20"), 8000u);
}

TEST(ContainerFiles, ATableListedAgainAndAgainStopsWritingAtTheLimit) {
  const Bytes file = Database(
      [](ChunkWriter& out) {
        for (uint32_t id = 1; id <= 3; ++id) Object(out, id, "same.bin", {1, 8});
      },
      1, 40);
  RecoverySandbox sandbox;
  EXPECT_EQ(sandbox.Recover(file), QRX_OK);
  EXPECT_NE(sandbox.Log().find("CreateBinaryFiles: the stored files of this source reached their "
                               "limit of " +
                               std::to_string(4 * file.size()) + " bytes"),
            std::string::npos);
  EXPECT_EQ(sandbox.Outputs(), (std::vector<std::string>{"Table1.dbf", "same.bin"}));
}

#if !defined(_WIN32)  // links that need no privilege
TEST(ContainerFiles, LinksAndDotfilesInTheTargetAreLeftAsTheyAre) {
  TempDir outside;
  WriteFileBytes(outside.path() / "linked", {'k', 'e', 'e', 'p'});
  RecoverySandbox sandbox;
  fs::create_directory(sandbox.target());
  fs::create_hard_link(outside.path() / "linked", sandbox.target() / "photo.jpg");
  fs::create_symlink(outside.path() / "linked", sandbox.target() / "notes.txt");
  WriteFileBytes(sandbox.target() / ".bashrc", {'m', 'i', 'n', 'e'});
  WriteFileBytes(sandbox.source(), Database([](ChunkWriter& out) {
                   Object(out, 1, "photo.jpg", {1}, 3);
                   Object(out, 2, "notes.txt", {1}, 2);
                   Object(out, 3, ".bashrc", {1}, 1);
                 }));
  EXPECT_EQ(sandbox.Recover(sandbox.source(), sandbox.target()), QRX_OK);
  EXPECT_EQ(sandbox.Strays(), std::vector<fs::path>{});
  EXPECT_EQ(ReadFileText(outside.path() / "linked"), "keep");
  EXPECT_EQ(fs::hard_link_count(outside.path() / "linked"), 1u);
  EXPECT_EQ(ReadFileBytes(sandbox.target() / "photo.jpg"), Bytes(3, 1));
  EXPECT_EQ(ReadFileBytes(sandbox.target() / "notes.txt"), Bytes(2, 2));
  EXPECT_EQ(ReadFileText(sandbox.target() / ".bashrc"), "mine");
  EXPECT_EQ(ReadFileBytes(sandbox.target() / "_.bashrc"), Bytes(1, 3));
  const std::string log = sandbox.Log();
  EXPECT_NE(log.find("object 1 replaces " + (sandbox.target() / "photo.jpg").string()),
            std::string::npos);
  EXPECT_NE(log.find("object 2 replaces " + (sandbox.target() / "notes.txt").string()),
            std::string::npos);
}
#endif

// How the system words the removal of a folder as a file.
#if defined(_WIN32)
constexpr char kIsAFolder[] = "Access denied";
#else
constexpr char kIsAFolder[] = "Is a directory";
#endif

TEST(ContainerFiles, AFileThatCannotBeWrittenIsReportedAndTheOthersAreWritten) {
  RecoverySandbox sandbox;
  fs::create_directories(sandbox.target() / "taken.bin" / "inside");
  WriteFileBytes(sandbox.source(), Database([](ChunkWriter& out) {
                   Object(out, 1, "taken.bin", {1}, 4);
                   Object(out, 2, "free.bin", {1}, 4);
                 }));
  EXPECT_EQ(sandbox.Recover(sandbox.source(), sandbox.target()), QRX_WRITE_FAILED);
  EXPECT_TRUE(fs::is_directory(sandbox.target() / "taken.bin" / "inside"));
  EXPECT_EQ(ReadFileBytes(sandbox.target() / "free.bin"), Bytes(4, 2));
  EXPECT_NE(sandbox.Log().find("CreateBinaryFiles: cannot remove " +
                               (sandbox.target() / "taken.bin").string() + ": " + kIsAFolder),
            std::string::npos);
}

}  // namespace
