#pragma once
// Comparing names without regard to ASCII letter case (letters beyond ASCII compare exactly).
#include <algorithm>
#include <string>
#include <string_view>

namespace clx {

inline char LowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string LowerAsciiText(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = LowerAsciiChar(c);
    return out;
}

inline bool SameTextNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAsciiChar(x) == LowerAsciiChar(y); });
}

}  // namespace clx
