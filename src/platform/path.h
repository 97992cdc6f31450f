// Splitting and composing of paths, with the platform's own separator.
#pragma once

#include <string>
#include <string_view>

namespace qrx::platform {

#if defined(_WIN32)
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// A path cut at its last separator and at the last dot of its file name.
struct PathParts {
  std::u16string folder;     // everything up to and including the last separator
  std::u16string name;       // the file name without its extension
  std::u16string extension;  // the extension with its dot, or empty
};

PathParts SplitPath(std::u16string_view path);
// Narrow (ANSI) variant, for module paths.
struct NarrowPathParts {
  std::string folder;
  std::string name;
  std::string extension;
};
NarrowPathParts SplitPath(std::string_view path);

// The folder with a separator appended when it lacks one (an empty folder stays empty).
std::u16string WithTrailingSeparator(std::u16string_view folder);

}  // namespace qrx::platform
