#pragma once
// An INI file held in memory: sections of key=value lines. Section and key names are
// compared without regard to (ASCII) case. Rewriting keeps the file's order, comments,
// blank lines, line-ending style and byte-order mark; only changed lines are rewritten.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace clx {

// Reading or writing the file failed; the message names the file and the reason.
class IniError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IniFile {
public:
    // Loads the file when it exists; a missing file (or an empty path) gives an empty store.
    // Throws IniError when the file exists but cannot be read.
    explicit IniFile(std::string path);

    const std::string& Path() const { return path_; }
    // Reads the file again, dropping unsaved changes.
    void Reload();

    // A value may be written in double or single quotes; one surrounding pair is removed.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def = {}) const;
    // Decimal, or hexadecimal with "0x" or "$"; def when missing, not a number or out of range.
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    // Names must be non-empty single-line texts without surrounding blanks; a key may not
    // contain "=" nor start with "[", ";" or "#"; a section may not contain "]"; a value may
    // not contain a line break. Anything else throws std::invalid_argument naming the fault.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    void EraseKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);   // every section of that name

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> Sections() const;                      // in file order, once each
    std::vector<std::string> Keys(std::string_view section) const;  // in file order, once each

    bool Modified() const { return modified_; }

    // Writes a temporary file in the target's folder and renames it over the target, so a
    // failure leaves the old file untouched. Creates a missing folder. Throws IniError.
    void Save();

private:
    enum class LineKind { Other, Section, Entry };
    struct Line {
        LineKind kind = LineKind::Other;
        std::string raw;    // the line as written, without its line ending
        std::string name;   // section or key name
        std::string value;  // entry value, quotes removed
    };

    static Line Parse(std::string text);
    void Load();
    // Index of the entry line of key in any section of that name, or npos.
    std::size_t FindEntry(std::string_view section, std::string_view key) const;

    std::string path_;
    std::vector<Line> lines_;
    bool crlf_ = false;
    bool bom_ = false;
    bool modified_ = false;
};

}  // namespace clx
