// Short names as the Windows file system gives them: the table is named by the short name the
// volume holds for the placeholder file, which opens the very same file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/path.h"
#include "platform/short_name.h"
#include "support/temp_dir.h"

namespace {

namespace platform = qrx::platform;

std::u16string SystemShortName(const std::u16string& path) {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length =
      ::GetShortPathNameW(reinterpret_cast<const wchar_t*>(path.c_str()), buffer, MAX_PATH + 1);
  return platform::SplitPath(std::u16string(reinterpret_cast<char16_t*>(buffer), length)).name;
}

TEST(ShortNameWindows, LongNamesTakeTheVolumesShortName) {
  TempDir dir;
  for (const std::string name : {"Customers.dbf", "my table.dbf", "a.b.dbf", "caf\xC3\xA9s.dbf"}) {
    const std::u16string path = Utf16(dir.path() / std::filesystem::u8path(name));
    WriteFileBytes(std::filesystem::path(path), {'x'});
    const std::u16string shortPath = platform::ShortPathName(path);
    const platform::PathParts parts = platform::SplitPath(shortPath);
    EXPECT_EQ(parts.folder, platform::SplitPath(path).folder) << name;
    EXPECT_EQ(parts.extension, u".dbf") << name;
    EXPECT_TRUE(platform::FitsShortName(parts.name)) << name;
    EXPECT_EQ(parts.name, SystemShortName(path)) << name;
    // The short name is another name of the same file.
    EXPECT_EQ(ReadFileBytes(std::filesystem::path(shortPath)), std::vector<unsigned char>{'x'});
  }
  const std::u16string fits = Utf16(dir / "Table.dbf");
  WriteFileBytes(dir / "Table.dbf", {});
  EXPECT_EQ(platform::ShortPathName(fits), fits);
}

}  // namespace
