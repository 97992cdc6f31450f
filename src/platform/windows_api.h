// The Windows API for the Windows side of the platform layer: one place that includes it, with
// the narrow-or-wide macros that collide with this layer's own names taken away.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateDirectory
#undef DeleteFile

#include <string>
#include <string_view>

namespace qrx::platform {

// UTF-16 units are wchar_t on Windows.
inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string FromWide(const wchar_t* text, size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

}  // namespace qrx::platform
