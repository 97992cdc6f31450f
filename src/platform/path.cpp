#include "platform/path.h"

namespace qrx::platform {
namespace {

template <typename Char>
bool IsSeparator(Char c) {
#if defined(_WIN32)
  return c == Char('/') || c == Char('\\');
#else
  return c == Char('/');
#endif
}

template <typename Parts, typename View>
Parts Split(View path) {
  Parts parts;
  size_t nameStart = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i])) nameStart = i + 1;
  }
  parts.folder.assign(path.substr(0, nameStart));
  const View file = path.substr(nameStart);
  const size_t dot = file.rfind('.');
  if (dot == View::npos) {
    parts.name.assign(file);
  } else {
    parts.name.assign(file.substr(0, dot));
    parts.extension.assign(file.substr(dot));
  }
  return parts;
}

}  // namespace

PathParts SplitPath(std::u16string_view path) {
  return Split<PathParts>(path);
}

NarrowPathParts SplitPath(std::string_view path) {
  return Split<NarrowPathParts>(path);
}

std::u16string WithTrailingSeparator(std::u16string_view folder) {
  std::u16string out(folder);
  if (!out.empty() && !IsSeparator(out.back())) out += kPathSeparator;
  return out;
}

}  // namespace qrx::platform
