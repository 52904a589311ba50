// RTF writer: the plain RTF 1.x that WordPad writes, which every word processor reads.
// Formatting is written as changes from the previous run; non-ASCII text as \'hh where the
// font uses Windows-1252, else as \uN with "?" for readers without Unicode.
#include <algorithm>
#include <map>

#include "platform/richtext.h"

namespace clx {

using namespace richtext_detail;

namespace {

struct FontKey {
    std::string name;
    int charset = 0;
    bool operator==(const FontKey&) const = default;
};

// How the reader decodes \'hh and raw bytes in a font: through Windows-1252, through another
// single-byte code page, or through a double-byte one.
enum class Encoding { Ansi, SingleByte, DoubleByte };

Encoding EncodingOf(int charset) {
    switch (charset) {
        case 0: case 1: case 2: return Encoding::Ansi;
        case 128: case 129: case 130: case 134: case 136: return Encoding::DoubleByte;
        default: return Encoding::SingleByte;
    }
}

class Writer {
public:
    explicit Writer(const RichText& text) : text_(text) {}
    std::string Write();

private:
    int FontIndex(const CharFormat& f);
    int ColorIndex(const CharFormat& f);
    void Collect(const CharFormat& f) {
        FontIndex(f);
        ColorIndex(f);
    }
    void Word(std::string_view w) {
        out_ += '\\';
        out_ += w;
        delimit_ = true;
    }
    void Word(std::string_view w, long long n) {
        Word(w);
        out_ += std::to_string(n);
    }
    void Raw(char c) {
        if (delimit_) out_ += ' ';
        delimit_ = false;
        out_ += c;
    }
    void Symbol(std::string_view s) {
        out_ += s;
        delimit_ = false;
    }
    void Unicode(char32_t c);
    void Char(char32_t c, Encoding enc);
    void Format(const CharFormat& f);
    void Paragraph(const clx::Paragraph& p);

    const RichText& text_;
    std::vector<FontKey> fonts_;
    std::map<std::pair<std::string, int>, int> fontIndex_;
    std::vector<Rgb> colors_;
    std::map<uint32_t, int> colorIndex_;
    std::string out_;
    bool delimit_ = false;    // the last thing written was a control word
    int symbolFont_ = -1;
    // What the reader's state is at this point of the output.
    int font_ = -1, halfPoints_ = -1, color_ = 0;
    bool bold_ = false, italic_ = false, underline_ = false, strike_ = false;
};

int Writer::FontIndex(const CharFormat& f) {
    auto [it, added] = fontIndex_.try_emplace({f.fontName, f.charset}, static_cast<int>(fonts_.size()));
    if (added) fonts_.push_back(FontKey{f.fontName, f.charset});
    return it->second;
}

int Writer::ColorIndex(const CharFormat& f) {
    if (!f.color) return 0;
    uint32_t key = static_cast<uint32_t>(f.color->red) << 16 | static_cast<uint32_t>(f.color->green) << 8 | f.color->blue;
    auto [it, added] = colorIndex_.try_emplace(key, static_cast<int>(colors_.size()) + 1);
    if (added) colors_.push_back(*f.color);
    return it->second;
}

void Writer::Unicode(char32_t c) {
    auto unit = [&](unsigned u) {
        Word("u", u >= 0x8000 ? static_cast<long long>(u) - 65536 : u);
        Symbol("?");
    };
    if (c >= 0x10000) {
        c -= 0x10000;
        unit(0xD800 + static_cast<unsigned>(c >> 10));
        unit(0xDC00 + static_cast<unsigned>(c & 0x3FF));
    } else {
        unit(static_cast<unsigned>(c));
    }
}

void Writer::Char(char32_t c, Encoding enc) {
    if (c == U'\\' || c == U'{' || c == U'}') {
        Symbol(std::string{'\\', static_cast<char>(c)});
    } else if (c == U'\t') {
        Word("tab");
    } else if (c == U'\v') {
        Word("line");
    } else if (c < 0x20) {
        // Other control characters are not text.
    } else if (c < 0x7F && (enc != Encoding::DoubleByte || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') ||
                            (c >= U'0' && c <= U'9') || c == U' ')) {
        // Double-byte code pages get only letters, digits and blanks raw: some of them read
        // other ASCII bytes as other characters.
        Raw(static_cast<char>(c));
    } else if (int b = enc == Encoding::Ansi ? ToCp1252(c) : -1; b >= 0) {
        static const char* hex = "0123456789abcdef";
        Symbol(std::string{'\\', '\'', hex[b >> 4], hex[b & 15]});
    } else {
        Unicode(c);
    }
}

void Writer::Format(const CharFormat& f) {
    int font = FontIndex(f);
    int color = ColorIndex(f);
    if (font != font_) Word("f", font_ = font);
    if (f.halfPoints != halfPoints_) Word("fs", halfPoints_ = f.halfPoints);
    if (color != color_) Word("cf", color_ = color);
    if (f.bold != bold_) Word((bold_ = f.bold) ? "b" : "b0");
    if (f.italic != italic_) Word((italic_ = f.italic) ? "i" : "i0");
    if (f.underline != underline_) Word((underline_ = f.underline) ? "ul" : "ulnone");
    if (f.strikeout != strike_) Word((strike_ = f.strikeout) ? "strike" : "strike0");
}

void Writer::Paragraph(const clx::Paragraph& p) {
    Word("pard");
    const ParaFormat& pf = p.format;
    switch (pf.alignment) {
        case Alignment::Left: break;
        case Alignment::Right: Word("qr"); break;
        case Alignment::Centre: Word("qc"); break;
        case Alignment::Justify: Word("qj"); break;
    }
    if (pf.leftIndent) Word("li", pf.leftIndent);
    if (pf.firstIndent) Word("fi", pf.firstIndent);
    if (pf.spaceBefore) Word("sb", pf.spaceBefore);
    if (pf.spaceAfter) Word("sa", pf.spaceAfter);
    if (pf.bullet) {
        // WordPad's bullet: the bullet text for older readers, then the bullet definition.
        std::string f = std::to_string(symbolFont_);
        Symbol("{\\pntext\\f" + f + "\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf" + f + "\\pnindent0{\\pntxtb\\'B7}}");
    }
    for (const Run& r : p.runs) {
        Format(r.format);
        Encoding enc = EncodingOf(r.format.charset);
        for (char32_t c : DecodeUtf8(r.text)) Char(c, enc);
    }
    if (p.runs.empty()) Format(p.markFormat);
    Word("par");
    out_ += "\r\n";
    delimit_ = false;
}

std::string Writer::Write() {
    const auto& paras = text_.Paragraphs();
    for (const auto& p : paras) {
        for (const Run& r : p.runs) Collect(r.format);
        if (p.runs.empty()) Collect(p.markFormat);
    }
    if (std::any_of(paras.begin(), paras.end(), [](const clx::Paragraph& p) { return p.format.bullet; }))
        symbolFont_ = FontIndex(CharFormat{"Symbol", 20, false, false, false, false, std::nullopt, 2});

    out_ = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl";
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        out_ += "{\\f" + std::to_string(i) + "\\fnil\\fcharset" + std::to_string(fonts_[i].charset);
        delimit_ = true;
        Encoding enc = EncodingOf(fonts_[i].charset);
        for (char32_t c : DecodeUtf8(fonts_[i].name)) {
            if (c == U';') continue;
            // Names are read in the font's own code page, so anything beyond ASCII is Unicode.
            if (c >= 0x7F) Unicode(c);
            else Char(c, enc == Encoding::Ansi ? Encoding::SingleByte : enc);
        }
        Symbol(";}");
    }
    out_ += "}\r\n";
    if (!colors_.empty()) {
        out_ += "{\\colortbl ;";
        for (const Rgb& c : colors_)
            out_ += "\\red" + std::to_string(c.red) + "\\green" + std::to_string(c.green) + "\\blue" +
                    std::to_string(c.blue) + ";";
        out_ += "}\r\n";
    }
    out_ += "\\viewkind4\\uc1";
    delimit_ = true;
    for (const auto& p : paras) Paragraph(p);
    out_ += "}\r\n";
    return out_;
}

}  // namespace

std::string WriteRtf(const RichText& text) { return Writer(text).Write(); }

}  // namespace clx
