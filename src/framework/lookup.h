#pragma once
// Lookup lists: the text-list reader of the lookup combos and the built-in named lists whose
// items carry their position as value.
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale.h"

namespace clx {

// Characters of a text list that are read; the rest is dropped.
inline constexpr size_t kCsvMaxCharacters = 255;

// Splits a text list on "," and ";" outside double quotes (the quotes themselves are dropped).
// The text and every entry are trimmed of blanks and control characters (ASCII codes up to 32,
// and the non-ASCII spaces and controls); entries left empty are kept only with keepEmpty, so
// that positions stay values. Only the first kCsvMaxCharacters characters (UTF-8) are read.
std::vector<std::string> SplitCsv(std::string_view text, bool keepEmpty);

struct LookupItem {
    int value = 0;
    std::string text;
    friend bool operator==(const LookupItem&, const LookupItem&) = default;
};

// The built-in named lists. Every list is a fixed array of texts; an item's value is its
// position from 0. A name is matched as the combos do: leading digits and lower-case letters
// are dropped ("ltFrequency" finds "Frequency"), then the rest is compared without regard to
// case.
class NamedLists {
public:
    // Builds the lists once; the locale's month names go into the frequency texts.
    explicit NamedLists(const Locale& loc);

    // The 25 list names in table order.
    static const std::vector<std::string>& Names();
    // The position of the list a name refers to in Names(); nullopt when none matches.
    static std::optional<size_t> Find(std::string_view name);

    // The texts in value order; nullptr for a name that matches no list, or a list this
    // program does not hold yet.
    const std::vector<std::string>* Texts(std::string_view name) const;
    // The items whose value is not excluded; nullopt as for Texts.
    std::optional<std::vector<LookupItem>> Items(std::string_view name,
                                                 const std::set<int>& excluded = {}) const;

private:
    std::vector<std::optional<std::vector<std::string>>> lists_;   // by position in Names()
};

}  // namespace clx
