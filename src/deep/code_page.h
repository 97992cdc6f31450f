// The code page the texts of a deep table are written in, and the encoding of Unicode text into
// it. The encoding is fixed by the option, never by the machine's own code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace deep {

enum class OutputEncoding { kWindows1252, kUtf8 };

// Appends `text` encoded to `out`; each character the code page cannot hold (and, in UTF-8, each
// unpaired surrogate) becomes '?'. Returns the number of such characters.
uint32_t AppendEncoded(std::u16string_view text, OutputEncoding encoding, std::string& out);
// The dBase language driver byte (header byte 29) for the encoding.
uint8_t LanguageDriver(OutputEncoding encoding);
// What the .cpg file beside the table says.
std::string_view CodePageFileText(OutputEncoding encoding);

}  // namespace deep
