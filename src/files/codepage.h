#pragma once
// Text in files is single-byte (Windows-1252); text in memory is UTF-8.
#include <string>
#include <string_view>

namespace clx {

// Characters outside the code page become '?'; bytes that are not valid UTF-8 as well.
std::string Utf8ToCp1252(std::string_view utf8);
// Every byte maps to one character (the five unassigned bytes to the C1 controls of the same value).
std::string Cp1252ToUtf8(std::string_view bytes);

}  // namespace clx
