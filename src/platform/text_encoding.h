#pragma once
// UTF-8 and Windows-1252 helpers shared by the text model, the streams and the locale.
#include <cstddef>
#include <string>
#include <string_view>

namespace clx {

// Appends one character; surrogates and values beyond U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t c);
// Decodes UTF-8; invalid bytes come out as U+FFFD.
std::u32string DecodeUtf8(std::string_view s);
bool IsValidUtf8(std::string_view s);
std::size_t CountCodePoints(std::string_view validUtf8);
char32_t FromCp1252(unsigned char byte);
int ToCp1252(char32_t c);    // the byte, or -1 when the character has none

}  // namespace clx
