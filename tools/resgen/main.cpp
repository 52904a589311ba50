// resgen KIND ARGS...: builds one kind of factory file from its readable source.
#include <fmt/format.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "files/codepage.h"
#include "files/fileio.h"
#include "platform/memtable.h"
#include "resgen.h"

namespace clx::resgen {

namespace {

struct Kind {
    std::string_view name;
    std::string_view usage;
    int (*run)(const Args&);
};

// One line per kind.
const Kind kKinds[] = {
    {"options", "SOURCE.json OUTPUT.dcz...", RunOptions},
    {"links", "SOURCE.json OUTPUT.dat", RunLinks},
    {"documents", "SOURCE.json... OUTPUT.cxz...", RunDocuments},
    {"skipfiles", "SOURCE.json... OUTPUT.skx...", RunSkipFiles},
    {"plans", "SOURCE.json... OUTPUT.cpz|OUTPUT.rtf...", RunPlans},
};

int Usage(std::ostream& err) {
    err << "usage: resgen KIND ARGS...\n";
    for (const Kind& k : kKinds) err << "  resgen " << k.name << " " << k.usage << "\n";
    return 2;
}

// The code points of UTF-8 text; bytes that are not valid UTF-8 count as U+FFFD.
std::vector<char32_t> CodePoints(std::string_view s) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        bool ok = n > 0 && i + n <= s.size();
        for (int k = 1; ok && k < n; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            ok = (d >> 6) == 2;
            cp = (cp << 6) | (d & 0x3F);
        }
        out.push_back(ok ? cp : U'\uFFFD');
        i += ok ? n : 1;
    }
    return out;
}

std::string RtfEscape(std::string_view text) {
    std::string out;
    for (char32_t cp : CodePoints(text)) {
        if (cp == '\\' || cp == '{' || cp == '}') {
            out += '\\';
            out += static_cast<char>(cp);
        } else if (cp == '\t') {
            out += "\\tab ";
        } else if (cp == '\n') {
            out += "\\line ";
        } else if (cp == '\r') {
        } else if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp <= 0xFFFF) {
            out += fmt::format("\\u{}?", static_cast<int16_t>(static_cast<uint16_t>(cp)));
        } else {
            // Outside the basic plane: a surrogate pair.
            char32_t v = cp - 0x10000;
            out += fmt::format("\\u{}?\\u{}?", static_cast<int16_t>(0xD800 + (v >> 10)),
                               static_cast<int16_t>(0xDC00 + (v & 0x3FF)));
        }
    }
    return out;
}

}  // namespace

Json ReadJson(const std::filesystem::path& source) {
    std::ifstream in(source, std::ios::binary);
    if (!in) throw SourceError(source.string() + ": cannot be read");
    try {
        return Json::parse(in);
    } catch (const Json::exception& e) {
        throw SourceError(source.string() + ": " + e.what());
    }
}

void WriteOutput(const std::filesystem::path& target, std::span<const uint8_t> bytes) {
    std::error_code ec;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    WriteFileAtomic(target, bytes);
}

void CheckKeys(const Json& object, std::initializer_list<std::string_view> allowed, std::string_view where) {
    if (!object.is_object()) throw SourceError(fmt::format("{}: an object is expected", where));
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool known = false;
        for (std::string_view a : allowed) known = known || it.key() == a;
        if (!known) throw SourceError(fmt::format("{}: unknown member \"{}\"", where, it.key()));
    }
}

std::string TextOf(const Json& value, std::string_view where) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_array()) {
        std::string text;
        for (size_t i = 0; i < value.size(); ++i) {
            if (!value[i].is_string()) throw SourceError(fmt::format("{}: line {} is not a text", where, i + 1));
            if (i) text += "\r\n";
            text += value[i].get<std::string>();
        }
        return text;
    }
    throw SourceError(fmt::format("{}: a text or a list of lines is expected", where));
}

void SetText(MemTable& t, const char* field, const std::string& text, std::string_view where) {
    const FieldDef& def = t.Fields()[static_cast<size_t>(t.FieldIndex(field))];
    if (def.type == FieldType::String) {
        size_t length = Utf8ToCp1252(text).size();
        if (length > static_cast<size_t>(def.size))
            throw SourceError(fmt::format("{}: \"{}\" has {} characters; {}.{} holds {}", where, text, length,
                                          t.Name(), field, def.size));
    }
    t.FieldByName(field).SetString(text);
}

std::string RtfFromParagraphs(const Json& paragraphs, std::string_view where) {
    if (!paragraphs.is_array()) throw SourceError(fmt::format("{}: a list of paragraphs is expected", where));
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Verdana;}}\r\n";
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        const Json& p = paragraphs[i];
        const std::string at = fmt::format("{}, paragraph {}", where, i + 1);
        std::string text;
        bool bold = false, italic = false;
        int size = 10;
        std::string align = "left";
        if (p.is_string()) {
            text = p.get<std::string>();
        } else {
            CheckKeys(p, {"text", "bold", "italic", "size", "align"}, at);
            text = TextOf(p.value("text", Json("")), at);
            bold = p.value("bold", false);
            italic = p.value("italic", false);
            size = p.value("size", 10);
            align = p.value("align", std::string("left"));
        }
        if (size < 4 || size > 72) throw SourceError(fmt::format("{}: size {} is not 4 to 72 points", at, size));
        std::string_view q = align == "left" ? "\\ql" : align == "center" ? "\\qc" : align == "right" ? "\\qr" : "";
        if (q.empty()) throw SourceError(fmt::format("{}: align \"{}\" is not left, center or right", at, align));
        rtf += fmt::format("\\pard{}\\f0\\fs{}{}{} {}{}{}\\par\r\n", q, size * 2, bold ? "\\b" : "",
                           italic ? "\\i" : "", RtfEscape(text), bold ? "\\b0" : "", italic ? "\\i0" : "");
    }
    rtf += "}\r\n";
    return rtf;
}

}  // namespace clx::resgen

int main(int argc, char** argv) {
    using namespace clx::resgen;
    if (argc < 2) return Usage(std::cerr);
    std::string_view kind = argv[1];
    Args args(argv + 2, argv + argc);
    for (const Kind& k : kKinds) {
        if (k.name != kind) continue;
        try {
            return k.run(args);
        } catch (const std::exception& e) {
            std::cerr << "resgen " << kind << ": " << e.what() << "\n";
            return 1;
        }
    }
    std::cerr << "resgen: unknown kind '" << kind << "'\n";
    return Usage(std::cerr);
}
