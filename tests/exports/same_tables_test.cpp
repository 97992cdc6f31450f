// Whole recoveries whose outputs must be the same bytes on every platform: crafted fp5 and fp7
// files, the bundled sample and the real samples. Each recovery's outputs are folded into one
// digest, and the digests are those the Linux build wrote; the Windows build under Wine must come
// to the same. What may differ is left out: the table's short name where the file system makes
// one up (in the file name and in the memo file's header) and the date of the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "qrx/qrx.h"
#include "support/paged_databases.h"
#include "support/recovery_sandbox.h"

namespace {

namespace fs = std::filesystem;

uint64_t Fnv1a(const std::string& bytes, uint64_t hash = 14695981039346656037ull) {
  for (const unsigned char b : bytes) hash = (hash ^ b) * 1099511628211ull;
  return hash;
}

// dBase offsets: the date of the last update in the table, the table's name in the memo file.
constexpr size_t kDateOffset = 1;
constexpr size_t kDateLength = 3;
constexpr size_t kMemoNameOffset = 8;
constexpr size_t kMemoNameLength = 8;

std::string Digest(const RecoverySandbox& sandbox) {
  std::vector<std::string> entries;
  for (const std::string& name : sandbox.Outputs()) {
    std::string bytes = ReadFileText(sandbox.target() / name);
    const fs::path path(name);
    const std::string base = path.stem().string();
    const std::string extension = path.extension().string();
    if (extension == ".dbf" && bytes.size() >= kDateOffset + kDateLength) {
      bytes.replace(kDateOffset, kDateLength, kDateLength, '\0');
    }
    if (extension == ".dbt" && bytes.size() >= kMemoNameOffset + kMemoNameLength) {
      // The classic memo file names its table (the deep recovery's leaves the field blank); that
      // name is checked here and then left out.
      const std::string named = bytes.substr(kMemoNameOffset, kMemoNameLength);
      const std::string table = named.substr(0, named.find('\0'));
      EXPECT_TRUE(table.empty() || table == base) << name;
      bytes.replace(kMemoNameOffset, kMemoNameLength, kMemoNameLength, '\0');
    }
    const bool madeUp = base.find('~') != std::string::npos;
    char entry[64];
    std::snprintf(entry, sizeof entry, "%016llx", static_cast<unsigned long long>(Fnv1a(bytes)));
    entries.push_back((madeUp ? "~" + extension : name) + "=" + entry);
  }
  std::sort(entries.begin(), entries.end());
  std::string all;
  for (const std::string& entry : entries) all += entry + "\n";
  char digest[32];
  std::snprintf(digest, sizeof digest, "%zu files %016llx", entries.size(),
                static_cast<unsigned long long>(Fnv1a(all)));
  return digest;
}

std::string DigestOfRecovery(const fs::path& source,
                             std::optional<qrx_options> options = std::nullopt) {
  RecoverySandbox sandbox(false);
  if (options) sandbox.UseOptions(*options);
  EXPECT_EQ(sandbox.Recover(source, sandbox.target()), QRX_OK) << source;
  return Digest(sandbox);
}

std::string DigestOfRecovery(const std::vector<uint8_t>& bytes,
                             std::optional<qrx_options> options = std::nullopt) {
  RecoverySandbox sandbox(false);
  if (options) sandbox.UseOptions(*options);
  EXPECT_EQ(sandbox.Recover(bytes), QRX_OK);
  return Digest(sandbox);
}

TEST(SameTablesEverywhere, CraftedFiles) {
  EXPECT_EQ(DigestOfRecovery(Fp5WithIdlePages().bytes), "1 files 85c0f7f003e2725c");
  EXPECT_EQ(DigestOfRecovery(Fp7WithIdlePages().bytes), "5 files 76cb28e6434c216e");
}

TEST(SameTablesEverywhere, BundledAndRealSamples) {
  EXPECT_EQ(DigestOfRecovery(fs::path(QRX_SAMPLES_DIR) / "damaged.fp7"),
            "4 files 3d23dcbd1a2d5c82");
  const fs::path real(QRX_REAL_SAMPLES_DIR);
  if (!fs::exists(real)) GTEST_SKIP() << "no real samples at " << real;
  EXPECT_EQ(DigestOfRecovery(real / "fp5" / "CAKUNITS.FP5"), "2 files a7227639871f0e90");
  EXPECT_EQ(DigestOfRecovery(real / "fp7" / "data.fp7"), "1 files 48533143acb1445a");
}

// The deep recovery, which names its tables after the tables and types their columns, in both of
// its code pages.
TEST(SameTablesEverywhere, DeepRecoveries) {
  const qrx_options ansi = DeepOptions(QRX_ENCODING_WINDOWS_1252);
  const qrx_options utf8 = DeepOptions(QRX_ENCODING_UTF8);
  EXPECT_EQ(DigestOfRecovery(Fp7WithIdlePages().bytes, ansi), "5 files 9ca3c4abb36f4b93");
  const fs::path bundled = fs::path(QRX_SAMPLES_DIR) / "damaged.fp7";
  EXPECT_EQ(DigestOfRecovery(bundled, ansi), "8 files fa801529abe4770e");
  EXPECT_EQ(DigestOfRecovery(bundled, utf8), "8 files 133362049840cf2c");
  const fs::path real(QRX_REAL_SAMPLES_DIR);
  if (!fs::exists(real)) GTEST_SKIP() << "no real samples at " << real;
  EXPECT_EQ(DigestOfRecovery(real / "fp7" / "data.fp7", ansi), "6 files bcb7b377729cd77b");
  EXPECT_EQ(DigestOfRecovery(real / "fp7" / "Dynamic_Fields.fp7", utf8),
            "10 files 3814789f3d789461");
}

}  // namespace
