#include "platform/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "platform/text.h"

namespace clx {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t npos = std::string::npos;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::uintmax_t kMaxFileSize = 16u << 20;   // settings files are a few KiB

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool Quoted(std::string_view v) {
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

std::string Unquote(std::string_view v) {
    if (Quoted(v)) v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// Quotes a value that reading would otherwise change.
std::string Encode(std::string_view v) {
    bool needs = Quoted(v) || (!v.empty() && (IsBlank(v.front()) || IsBlank(v.back())));
    return needs ? "\"" + std::string(v) + "\"" : std::string(v);
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != npos;
}

void CheckSection(std::string_view s) {
    if (s.empty()) throw std::invalid_argument("INI section name is empty");
    if (HasLineBreak(s) || s.find(']') != npos || Trim(s).size() != s.size())
        throw std::invalid_argument("INI section name \"" + std::string(s) +
                                    "\" contains a line break, \"]\" or surrounding blanks");
}

void CheckKey(std::string_view k) {
    if (k.empty()) throw std::invalid_argument("INI key name is empty");
    if (HasLineBreak(k) || k.find('=') != npos || Trim(k).size() != k.size() || k[0] == '[' ||
        k[0] == ';' || k[0] == '#')
        throw std::invalid_argument("INI key name \"" + std::string(k) +
                                    "\" contains a line break or \"=\", starts with \"[\", \";\" "
                                    "or \"#\", or has surrounding blanks");
}

void CheckValue(std::string_view key, std::string_view v) {
    if (HasLineBreak(v))
        throw std::invalid_argument("INI value of key \"" + std::string(key) +
                                    "\" contains a line break");
}

std::string SystemReason(int err) { return std::strerror(err); }

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) { Load(); }

void IniFile::Reload() { Load(); }

IniFile::Line IniFile::Parse(std::string text) {
    Line line;
    std::string_view t = Trim(text);
    if (!t.empty() && t.front() == '[') {
        std::size_t close = t.find(']');
        if (close != npos) {
            line.kind = LineKind::Section;
            line.name = std::string(Trim(t.substr(1, close - 1)));
        }
    } else if (!t.empty() && t.front() != ';' && t.front() != '#') {
        std::size_t eq = t.find('=');
        if (eq != npos && !Trim(t.substr(0, eq)).empty()) {
            line.kind = LineKind::Entry;
            line.name = std::string(Trim(t.substr(0, eq)));
            line.value = Unquote(Trim(t.substr(eq + 1)));
        }
    }
    line.raw = std::move(text);
    return line;
}

void IniFile::Load() {
    lines_.clear();
    crlf_ = bom_ = modified_ = false;
    if (path_.empty()) return;

    std::error_code ec;
    if (!fs::exists(path_, ec)) return;
    if (!fs::is_regular_file(path_, ec))
        throw IniError("Cannot read settings file " + path_ + ": not a regular file");
    if (auto size = fs::file_size(path_, ec); !ec && size > kMaxFileSize)
        throw IniError("Cannot read settings file " + path_ + ": larger than 16 MiB");
    std::ifstream in(path_, std::ios::binary);
    if (!in) throw IniError("Cannot read settings file " + path_ + ": " + SystemReason(errno));
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) throw IniError("Cannot read settings file " + path_);
    std::string data = std::move(buf).str();

    std::string_view rest = data;
    if (rest.starts_with(kBom)) {
        bom_ = true;
        rest.remove_prefix(kBom.size());
    }
    std::size_t firstNl = rest.find('\n');
    crlf_ = firstNl != npos && firstNl > 0 && rest[firstNl - 1] == '\r';

    while (!rest.empty()) {
        std::size_t nl = rest.find('\n');
        std::string_view text = rest.substr(0, nl);
        rest = nl == npos ? std::string_view{} : rest.substr(nl + 1);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        lines_.push_back(Parse(std::string(text)));
    }
}

std::size_t IniFile::FindEntry(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& l = lines_[i];
        if (l.kind == LineKind::Section)
            inSection = SameTextNoCase(l.name, section);
        else if (inSection && l.kind == LineKind::Entry && SameTextNoCase(l.name, key))
            return i;
    }
    return npos;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    std::size_t i = FindEntry(section, key);
    return i == npos ? std::string(def) : lines_[i].value;
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    std::size_t i = FindEntry(section, key);
    if (i == npos) return def;
    std::string_view v = Trim(lines_[i].value);
    bool negative = false;
    if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    int base = 10;
    if (v.starts_with("0x") || v.starts_with("0X")) {
        base = 16;
        v.remove_prefix(2);
    } else if (v.starts_with("$")) {
        base = 16;
        v.remove_prefix(1);
    }
    if (v.empty() || v.front() == '-' || v.front() == '+') return def;
    long long n = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n, base);
    if (ec != std::errc{} || end != v.data() + v.size()) return def;
    if (negative) n = -n;
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max()) return def;
    return static_cast<int>(n);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    CheckSection(section);
    CheckKey(key);
    CheckValue(key, value);

    std::size_t i = FindEntry(section, key);
    if (i != npos) {
        Line& l = lines_[i];
        if (l.value == value) return;
        l.value = std::string(value);
        l.raw = l.name + "=" + Encode(value);
        modified_ = true;
        return;
    }

    Line entry;
    entry.kind = LineKind::Entry;
    entry.name = std::string(key);
    entry.value = std::string(value);
    entry.raw = entry.name + "=" + Encode(value);
    modified_ = true;

    // New keys go after the last entry of the first section of that name, so comments and
    // the blank line that close the section stay where they are.
    for (std::size_t s = 0; s < lines_.size(); ++s) {
        if (lines_[s].kind != LineKind::Section || !SameTextNoCase(lines_[s].name, section)) continue;
        std::size_t at = s + 1;
        for (std::size_t j = s + 1; j < lines_.size() && lines_[j].kind != LineKind::Section; ++j)
            if (lines_[j].kind == LineKind::Entry) at = j + 1;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
        return;
    }

    if (!lines_.empty() && !Trim(lines_.back().raw).empty()) lines_.push_back(Parse(""));
    lines_.push_back(Parse("[" + std::string(section) + "]"));
    lines_.push_back(std::move(entry));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseKey(std::string_view section, std::string_view key) {
    for (std::size_t i; (i = FindEntry(section, key)) != npos;) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
        modified_ = true;
    }
}

void IniFile::EraseSection(std::string_view section) {
    std::vector<Line> kept;
    bool erasing = false;
    for (auto& l : lines_) {
        if (l.kind == LineKind::Section) erasing = SameTextNoCase(l.name, section);
        if (erasing)
            modified_ = true;
        else
            kept.push_back(std::move(l));
    }
    lines_ = std::move(kept);
}

bool IniFile::SectionExists(std::string_view section) const {
    for (const auto& l : lines_)
        if (l.kind == LineKind::Section && SameTextNoCase(l.name, section)) return true;
    return false;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindEntry(section, key) != npos;
}

std::vector<std::string> IniFile::Sections() const {
    std::vector<std::string> out;
    for (const auto& l : lines_) {
        if (l.kind != LineKind::Section) continue;
        bool seen = false;
        for (const auto& s : out) seen = seen || SameTextNoCase(s, l.name);
        if (!seen) out.push_back(l.name);
    }
    return out;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
    std::vector<std::string> out;
    bool inSection = false;
    for (const auto& l : lines_) {
        if (l.kind == LineKind::Section) inSection = SameTextNoCase(l.name, section);
        if (!inSection || l.kind != LineKind::Entry) continue;
        bool seen = false;
        for (const auto& k : out) seen = seen || SameTextNoCase(k, l.name);
        if (!seen) out.push_back(l.name);
    }
    return out;
}

void IniFile::Save() {
    if (path_.empty()) throw IniError("Cannot save settings: no file name given");

    std::string image;
    if (bom_) image += kBom;
    const char* eol = crlf_ ? "\r\n" : "\n";
    for (const auto& l : lines_) {
        image += l.raw;
        image += eol;
    }

    // Write through a symbolic link to its target rather than replacing the link.
    std::error_code ec;
    fs::path target = path_;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    fs::path folder = target.parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);  // failure shows up below

    auto fail = [&](const std::string& what, int err, const std::string& temp) {
        if (!temp.empty()) ::unlink(temp.c_str());
        throw IniError("Cannot save settings file " + path_ + ": " + what + ": " + SystemReason(err));
    };

    std::string temp = target.string() + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) fail("cannot create a temporary file", errno, {});

    struct stat st{};
    mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);

    const char* p = image.data();
    std::size_t left = image.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            fail("write failed", err, temp);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        int err = errno;
        ::close(fd);
        fail("flush failed", err, temp);
    }
    if (::close(fd) != 0) fail("close failed", errno, temp);
    if (::rename(temp.c_str(), target.c_str()) != 0) fail("rename failed", errno, temp);

    // Make the rename itself durable; failing here loses nothing already written.
    int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    modified_ = false;
}

}  // namespace clx
