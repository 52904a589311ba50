#pragma once
// resgen: turns the readable sources under resources/ into the factory files of the resource
// folder at build time. One source file per kind of file; main.cpp dispatches on the kind.
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace clx {
class MemTable;
}

namespace clx::resgen {

using Json = nlohmann::ordered_json;
using Args = std::vector<std::string>;

// A source that cannot be turned into its file; the message names the source and the place.
class SourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The kinds, one per source file (name.cpp): arguments after the kind; 0 on success.
int RunOptions(const Args& args);
int RunLinks(const Args& args);
int RunDocuments(const Args& args);
int RunSkipFiles(const Args& args);
int RunPlans(const Args& args);

// Helpers shared by the kinds.
Json ReadJson(const std::filesystem::path& source);
void WriteOutput(const std::filesystem::path& target, std::span<const uint8_t> bytes);

// Refuses members other than the allowed ones, so a misspelt key is not silently ignored.
void CheckKeys(const Json& object, std::initializer_list<std::string_view> allowed, std::string_view where);
// A text given as a string or as an array of lines (joined with CR LF).
std::string TextOf(const Json& value, std::string_view where);
// Sets a string, memo or blob field, refusing a text longer than a string field holds.
void SetText(MemTable& t, const char* field, const std::string& text, std::string_view where);

// Rich text from paragraphs: each a string, or an object with "text" and optional "bold",
// "italic", "size" (points) and "align" ("left", "center", "right").
std::string RtfFromParagraphs(const Json& paragraphs, std::string_view where);

}  // namespace clx::resgen
