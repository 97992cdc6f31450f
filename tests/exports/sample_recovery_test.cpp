// The bundled sample database recovered through the exports, as the README's main command does.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "qrx/qrx.h"
#include "support/dbf_reader.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

void Ignore(const qrx_utf16_t*) {}
void IgnoreProgress(const qrx_utf16_t*, int32_t) {}

TEST(BundledSample, RecoversEveryTableItsReadablePagesHold) {
#if defined(_WIN32)
  GTEST_SKIP()
      << "the Windows file system makes up short names of its own (short_name_windows_test)";
#endif
  TempDir dir;
  const fs::path out = dir / "out";
  volatile uint8_t stop = 0;
  DllInitialize(nullptr, Ignore, IgnoreProgress);
  SetBreakFlag(&stop);
  const std::u16string source = Utf16(fs::path(QRX_SAMPLES_DIR) / "damaged.fp7") + u'*';
  ASSERT_EQ(FileRecover(source.c_str(), Utf16(out).c_str(), nullptr), QRX_OK);

  const DbfTable customers = ReadDbf(out / "CUSTOM~1.dbf");
  EXPECT_EQ(customers.names, (std::vector<std::string>{"Name", "City", "Balance", "Notes"}));
  EXPECT_EQ(customers.types, "CCNM");
  // The note of customer 21 is kept in pieces over two pages, as the program keeps long values:
  // classic recovery hands its two occurrences to the table one after the other, and the second
  // starts a row of its own (deep recovery joins them).
  ASSERT_EQ(customers.rows.size(), 151u);
  EXPECT_EQ(customers.declaredRows, 151u);
  EXPECT_EQ(customers.rows[0][0], "Customer 1");
  EXPECT_EQ(customers.rows[20][0], "Customer 21");
  EXPECT_EQ(customers.rows[21][0], "");
  EXPECT_EQ(customers.rows[7][3].size(), 600u);

  const DbfTable orders = ReadDbf(out / "Orders.dbf");
  EXPECT_GT(orders.rows.size(), 700u);  // the two damaged pages cost some orders
  EXPECT_LT(orders.rows.size(), 900u);
  EXPECT_EQ(orders.rows[9][0], "1010");
  EXPECT_EQ(orders.rows[9][3], "shipped");  // from the order's second occurrence

  EXPECT_EQ(ReadDbf(out / "Products.dbf").rows.size(), 6u);
  // Classic recovery looks for stored files under each table; the sample keeps them where the
  // database program does, under 31/5 for the whole file.
  EXPECT_FALSE(fs::exists(out / "product-sheet.txt"));
  EXPECT_FALSE(fs::exists(out / "Archive.dbf"));

  qrx_utf16_t **items, **details, **grades, **notes;
  RecoveryReport(&items, &details, &grades, &notes);
  EXPECT_EQ(std::u16string(grades[0]), u"3");
  size_t last = 0;
  while (items[last + 1] != nullptr) ++last;
  EXPECT_EQ(std::u16string(items[last]), u"Archive");
  EXPECT_EQ(std::u16string(details[last]), u"Empty");
}

TEST(BundledSample, DeepRecoveryTypesTheTablesAndWritesTheStoredFile) {
  TempDir dir;
  const fs::path out = dir / "out";
  DllInitialize(nullptr, Ignore, IgnoreProgress);
  SetBreakFlag(nullptr);
  const std::u16string source = Utf16(fs::path(QRX_SAMPLES_DIR) / "damaged.fp7");
  ASSERT_EQ(FileRecoverEx(source.c_str(), Utf16(out).c_str(), nullptr), QRX_OK);

  const DbfTable customers = ReadDbf(out / "Customers.dbf");
  EXPECT_EQ(customers.types, "CCNM");
  ASSERT_EQ(customers.rows.size(), 150u);
  EXPECT_EQ(customers.rows[20][3].size(), 2600u);
  const DbfTable orders = ReadDbf(out / "Orders.dbf");
  EXPECT_EQ(orders.types, "NCNC");
  EXPECT_EQ(orders.declaredRows, orders.rows.size());
  EXPECT_GT(orders.rows.size(), 700u);  // the two damaged pages cost some orders
  EXPECT_EQ(orders.rows[9][3], "shipped");
  EXPECT_EQ(ReadFileText(out / "product-sheet.txt").substr(0, 13), "Product sheet");
  EXPECT_EQ(ReadFileText(out / "Orders.cpg"), "1252");
}

// Options zeroed but for their size are every default (dBase tables); only listOnly writes
// nothing, and then the tables are still told.
TEST(BundledSample, ZeroedOptionsAreTheDefaultsAndListOnlyWritesNothing) {
  TempDir dir;
  DllInitialize(nullptr, Ignore, IgnoreProgress);
  SetBreakFlag(nullptr);
  const std::u16string source = Utf16(fs::path(QRX_SAMPLES_DIR) / "damaged.fp7");
  qrx_options options{};
  options.size = sizeof options;
  ASSERT_EQ(FileRecoverEx(source.c_str(), Utf16(dir / "zeroed").c_str(), &options), QRX_OK);
  EXPECT_TRUE(fs::exists(dir / "zeroed" / "Customers.dbf"));
  options.listOnly = 1;
  ASSERT_EQ(FileRecoverEx(source.c_str(), Utf16(dir / "listed").c_str(), &options), QRX_OK);
  EXPECT_FALSE(fs::exists(dir / "listed"));
  const qrx_table_result* const* tables = nullptr;
  ASSERT_EQ(RecoveredTables(&tables), 4);
  EXPECT_EQ(tables[0]->rows, 150u);
}

TEST(BundledSample, TargetFolderThatCannotBeMadeIsAWriteFailure) {
  TempDir dir;
  WriteFileBytes(dir / "file", {1});
  volatile uint8_t stop = 0;
  DllInitialize(nullptr, Ignore, IgnoreProgress);
  SetBreakFlag(&stop);
  const std::u16string source = Utf16(fs::path(QRX_SAMPLES_DIR) / "damaged.fp7") + u'*';
  EXPECT_EQ(FileRecover(source.c_str(), Utf16(dir / "file" / "out").c_str(), nullptr),
            QRX_WRITE_FAILED);
  EXPECT_EQ(FileRecover(source.c_str(), Utf16(dir / "missing" / "out").c_str(), nullptr),
            QRX_WRITE_FAILED);
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

}  // namespace
