// RTF reader. One pass over the bytes with an explicit stack of group states (no recursion),
// tolerant of what word processors write: unknown control words are ignored, unknown "\*"
// destinations and the known non-text destinations are skipped, a missing final brace is
// accepted. Only the safety limits and binary non-RTF data are errors.
#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "platform/richtext.h"

namespace clx {

using namespace richtext_detail;

namespace {

constexpr std::size_t kMaxInput = 64u << 20;
constexpr std::size_t kMaxDepth = 1000;
constexpr std::size_t kMaxItems = 1'000'000;    // paragraphs, runs and table entries
constexpr int kMaxTwips = 31680;                // 22 inches, the largest indent word processors take

enum class Dest { Text, Skip, FontTable, ColorTable, ListTable, ListOverrideTable, Pn, Upr };
enum class PnKind { None, Bullet, Other };

struct CharState {
    int font = -1;          // -1: the document's default font
    int halfPoints = 24;    // RTF's own default, 12 pt
    bool bold = false, italic = false, underline = false, strike = false, hidden = false;
    int color = -1;         // index into the colour table; -1: automatic
    bool operator==(const CharState&) const = default;
};

struct ParaState {
    Alignment alignment = Alignment::Left;
    bool pnBullet = false;  // old-style bullet ({\*\pn\pnlvlblt ...})
    int leftIndent = 0, firstIndent = 0, spaceBefore = 0, spaceAfter = 0;
    int ls = 0, ilvl = 0;   // list override and level (newer Word lists)
};

struct State {
    Dest dest = Dest::Text;
    CharState ch;
    ParaState pa;
    int uc = 1;                 // fallback characters after \uN
    bool pnOwner = false;       // this group opened a \pn destination
    PnKind pnKind = PnKind::None;
    Dest uprOuter = Dest::Text; // destination that \ud returns to inside \upr
};

struct Font {
    std::string name;
    int charset = 0;
    int codePage = 0;  // from \cpg; 0: from the charset
};

struct ListDef {
    int id = 0;
    std::vector<int> levelFormats;  // \levelnfc per level; 23 is a bullet
};

struct ListOverride {
    int listId = 0;
    int ls = 0;
};

// Destinations whose content is never text of the document.
constexpr std::array kSkipped = {
    "annotation", "atnauthor", "atndate", "atnicn", "atnid", "atnparent", "atnref", "atntime",
    "atrfend", "atrfstart", "author", "bkmkend", "bkmkstart", "buptim", "category",
    "colorschememapping", "comment", "company", "creatim", "datafield", "datastore", "do",
    "doccomm", "docvar", "fldinst", "filetbl", "footer", "footerf", "footerl", "footerr",
    "footnote", "ftncn", "ftnsep", "ftnsepc", "aftncn", "aftnsep", "aftnsepc", "generator",
    "header", "headerf", "headerl", "headerr", "hlinkbase", "info", "keywords",
    "latentstyles", "leveltext", "levelnumbers", "listname", "listpicture", "listtext",
    "manager", "mmathPr", "nonshppict", "object", "objdata", "operator", "pgdsctbl", "pict",
    "pntext", "pntxta", "pntxtb", "printim", "private", "protusertbl", "revtbl", "revtim",
    "rsidtbl", "shp", "shpinst", "shppict", "shprslt", "shptxt", "stylesheet", "subject", "tc",
    "template", "themedata", "title", "txe", "userprops", "wgrffmtfilter", "xe", "xmlnstbl",
    "xmlopen", "xmlclose",
};

bool IsSkipped(std::string_view word) {
    static const std::unordered_set<std::string_view> skipped(kSkipped.begin(), kSkipped.end());
    return skipped.contains(word);
}

bool IsUnderline(std::string_view w) {
    static constexpr std::array kWords = {
        "ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth",
        "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"};
    return std::find(kWords.begin(), kWords.end(), w) != kWords.end();
}

int CodePageOfCharset(int charset, int ansi) {
    switch (charset) {
        case 0: case 1: return ansi;
        case 2: return 1252;    // symbol fonts: the bytes kept as Latin-1 letters
        case 77: return 10000;
        case 128: return 932;
        case 129: return 949;
        case 134: return 936;
        case 136: return 950;
        case 161: return 1253;
        case 162: return 1254;
        case 163: return 1258;
        case 177: return 1255;
        case 178: return 1256;
        case 186: return 1257;
        case 204: return 1251;
        case 222: return 874;
        case 238: return 1250;
        case 254: case 255: return 437;
        default: return ansi;
    }
}

std::string ConverterName(int cp) {
    switch (cp) {
        case 437: return "ibm-437";
        case 850: return "ibm-850";
        case 10000: return "macintosh";
        default: return "windows-" + std::to_string(cp);
    }
}

int Clamp(long long v, int lo, int hi) { return static_cast<int>(std::clamp<long long>(v, lo, hi)); }

class Reader {
public:
    Reader(std::string_view data, const CharFormat& def) : in_(data), def_(def) {}
    ~Reader() {
        for (auto& [cp, conv] : converters_)
            if (conv) ucnv_close(conv);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    RichText Read(std::size_t start);

private:
    State& Top() { return stack_.back(); }
    void Push();
    void Pop();
    void ControlWord(std::string_view word, bool hasParam, long long param);
    void ControlSymbol(char c);
    void Destination(std::string_view word);
    void TextByte(unsigned char b);
    void FlushBytes();
    void Emit(char32_t c);
    void EmitToDocument(char32_t c);
    void EndParagraph();
    void CommitFont();
    int CurrentCodePage();
    UConverter* Converter(int cp);
    CharFormat Resolve(const CharState& ch) const;
    ParaFormat Resolve(const ParaState& pa) const;
    void CountItem();

    std::string_view in_;
    std::size_t pos_ = 0;
    const CharFormat& def_;
    std::vector<State> stack_;
    bool starred_ = false;     // "\*" seen: the next control word may open an ignorable destination
    int skipFallback_ = 0;     // characters still to skip after \uN
    char16_t highSurrogate_ = 0;

    int ansiCodePage_ = 1252;
    int defaultFont_ = 0;
    std::map<int, Font> fonts_;
    std::optional<int> fontNumber_;    // entry being read in the font table
    Font fontEntry_;
    std::vector<std::optional<Rgb>> colors_;
    Rgb colorEntry_;
    bool colorEntrySet_ = false;
    std::vector<ListDef> lists_;
    std::vector<ListOverride> overrides_;
    std::unordered_map<int, std::size_t> listById_;       // the first list of each id
    std::unordered_map<int, std::size_t> overrideByLs_;   // the first override of each \ls number

    std::string pending_;     // code-page bytes not yet decoded
    int pendingCodePage_ = 0;
    std::map<int, UConverter*> converters_;

    std::vector<Paragraph> paras_;
    Paragraph cur_;
    CharState curRunState_;
    ParaState curParaState_;
    bool curHasText_ = false;
    bool afterPar_ = false;     // cur_ was opened by a \par (a trailing one adds no paragraph)
    bool lastWasCellTab_ = false;
    std::size_t items_ = 0;
};

void Reader::Push() {
    if (stack_.size() >= kMaxDepth) throw RtfError("RTF groups are nested deeper than 1000 levels");
    State s = stack_.empty() ? State{} : Top();
    s.pnOwner = false;
    stack_.push_back(s);
}

void Reader::Pop() {
    State popped = stack_.back();
    if (popped.dest == Dest::FontTable) CommitFont();
    stack_.pop_back();
    if (popped.pnOwner && !stack_.empty()) Top().pa.pnBullet = popped.pnKind == PnKind::Bullet;
}

RichText Reader::Read(std::size_t start) {
    pos_ = start;
    std::optional<State> end;
    while (pos_ < in_.size() && !end) {
        char c = in_[pos_];
        switch (c) {
            case '{':
                ++pos_;
                starred_ = false;
                FlushBytes();
                skipFallback_ = 0;
                Push();
                break;
            case '}':
                ++pos_;
                starred_ = false;
                FlushBytes();
                skipFallback_ = 0;
                if (stack_.size() == 1) {
                    end = stack_.back();
                    break;
                }
                Pop();
                break;
            case '\\': {
                if (pos_ + 1 >= in_.size()) {
                    ++pos_;
                    break;
                }
                char n = in_[pos_ + 1];
                if ((n >= 'a' && n <= 'z') || (n >= 'A' && n <= 'Z')) {
                    std::size_t p = pos_ + 1;
                    std::size_t wordStart = p;
                    while (p < in_.size() && ((in_[p] >= 'a' && in_[p] <= 'z') || (in_[p] >= 'A' && in_[p] <= 'Z'))) ++p;
                    std::string_view word = in_.substr(wordStart, std::min<std::size_t>(p - wordStart, 32));
                    bool negative = false, hasParam = false;
                    long long param = 0;
                    if (p + 1 < in_.size() && in_[p] == '-' && in_[p + 1] >= '0' && in_[p + 1] <= '9') {
                        negative = true;
                        ++p;
                    }
                    while (p < in_.size() && in_[p] >= '0' && in_[p] <= '9') {
                        hasParam = true;
                        if (param < 10'000'000'000LL) param = param * 10 + (in_[p] - '0');
                        ++p;
                    }
                    if (negative) param = -param;
                    if (p < in_.size() && in_[p] == ' ') ++p;
                    pos_ = p;
                    if (word == "bin") {
                        // Binary data is never text, whatever destination it is in.
                        if (hasParam && param > 0)
                            pos_ += static_cast<std::size_t>(std::min<long long>(param, static_cast<long long>(in_.size() - pos_)));
                        if (skipFallback_ > 0) --skipFallback_;
                        break;
                    }
                    FlushBytes();
                    if (skipFallback_ > 0) {
                        --skipFallback_;
                        starred_ = false;
                        break;
                    }
                    ControlWord(word, hasParam, param);
                } else if (n == '\'') {
                    pos_ += 2;
                    auto hex = [](char h) {
                        if (h >= '0' && h <= '9') return h - '0';
                        if (h >= 'a' && h <= 'f') return h - 'a' + 10;
                        if (h >= 'A' && h <= 'F') return h - 'A' + 10;
                        return -1;
                    };
                    int v = 0, digits = 0;
                    while (digits < 2 && pos_ < in_.size() && hex(in_[pos_]) >= 0) {
                        v = v * 16 + hex(in_[pos_]);
                        ++pos_;
                        ++digits;
                    }
                    starred_ = false;
                    if (skipFallback_ > 0) {
                        --skipFallback_;
                        break;
                    }
                    if (digits > 0) TextByte(static_cast<unsigned char>(v));
                } else {
                    pos_ += 2;
                    FlushBytes();
                    if (skipFallback_ > 0) {
                        --skipFallback_;
                        break;
                    }
                    ControlSymbol(n);
                }
                break;
            }
            case '\r':
            case '\n':
                ++pos_;
                break;
            default:
                ++pos_;
                starred_ = false;
                if (skipFallback_ > 0) {
                    --skipFallback_;
                    break;
                }
                TextByte(static_cast<unsigned char>(c));
                break;
        }
    }
    FlushBytes();
    if (highSurrogate_) {
        highSurrogate_ = 0;
        Emit(0xFFFD);
    }
    State last = end ? *end : stack_.back();
    // A document cut short: close what is open so the tables and \pn groups take effect.
    while (!end && stack_.size() > 1) Pop();
    if (cur_.runs.empty() && afterPar_) {
        // The break of the last \par is the end of the text.
    } else {
        cur_.format = Resolve(curHasText_ ? curParaState_ : last.pa);
        cur_.markFormat = Resolve(last.ch);
        paras_.push_back(std::move(cur_));
    }
    return RichText::FromParagraphs(std::move(paras_), def_);
}

void Reader::CountItem() {
    if (++items_ > kMaxItems) throw RtfError("RTF document has more than 1000000 paragraphs and format runs");
}

void Reader::Destination(std::string_view word) {
    State& s = Top();
    if (word == "fonttbl") {
        s.dest = Dest::FontTable;
    } else if (word == "colortbl") {
        s.dest = Dest::ColorTable;
    } else if (word == "listtable") {
        s.dest = Dest::ListTable;
    } else if (word == "listoverridetable") {
        s.dest = Dest::ListOverrideTable;
    } else if (word == "pn") {
        s.dest = Dest::Pn;
        s.pnOwner = true;
        s.pnKind = PnKind::Other;
    } else if (word == "upr") {
        s.uprOuter = s.dest;
        s.dest = Dest::Upr;
    } else if (word == "ud") {
        if (s.dest == Dest::Upr) s.dest = s.uprOuter;
    } else {
        s.dest = Dest::Skip;
    }
}

void Reader::ControlWord(std::string_view w, bool hasParam, long long param) {
    State& s = Top();
    bool on = !hasParam || param != 0;
    if (starred_) {
        starred_ = false;
        if (s.dest != Dest::Skip && w != "pn" && w != "ud" && w != "listtable" && w != "listoverridetable") {
            s.dest = Dest::Skip;
            return;
        }
    }
    if (s.dest == Dest::Skip) return;
    if (w == "fonttbl" || w == "colortbl" || w == "listtable" || w == "listoverridetable" || w == "pn" ||
        w == "upr" || w == "ud" || IsSkipped(w)) {
        Destination(w);
        return;
    }
    // Document-wide settings, wherever they are.
    if (w == "ansicpg") { if (hasParam && param > 0 && param < 100000) ansiCodePage_ = static_cast<int>(param); return; }
    if (w == "ansi") { ansiCodePage_ = 1252; return; }
    if (w == "mac") { ansiCodePage_ = 10000; return; }
    if (w == "pc") { ansiCodePage_ = 437; return; }
    if (w == "pca") { ansiCodePage_ = 850; return; }
    if (w == "deff") { defaultFont_ = Clamp(param, -1, 1 << 30); return; }
    if (w == "uc") { s.uc = Clamp(param, 0, 255); return; }
    if (w == "u") {
        // A signed 16-bit UTF-16 unit; anything outside that range is not a character.
        long long v = param < 0 ? param + 65536 : param;
        char32_t c = v >= 0 && v <= 0xFFFF ? static_cast<char32_t>(v) : 0xFFFD;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (highSurrogate_) {
                highSurrogate_ = 0;
                Emit(0xFFFD);
            }
            highSurrogate_ = static_cast<char16_t>(c);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            char32_t high = highSurrogate_;
            highSurrogate_ = 0;
            Emit(high ? 0x10000 + ((high - 0xD800) << 10) + (c - 0xDC00) : 0xFFFD);
        } else {
            Emit(c);
        }
        skipFallback_ = s.uc;
        return;
    }

    switch (s.dest) {
        case Dest::FontTable:
            if (w == "f") {
                CommitFont();
                fontNumber_ = Clamp(param, 0, 1 << 30);
                fontEntry_ = Font{};
            } else if (w == "fcharset") {
                fontEntry_.charset = Clamp(param, 0, 255);
            } else if (w == "cpg") {
                fontEntry_.codePage = Clamp(param, 0, 99999);
            }
            return;
        case Dest::ColorTable:
            if (w == "red") colorEntry_.red = static_cast<uint8_t>(Clamp(param, 0, 255));
            else if (w == "green") colorEntry_.green = static_cast<uint8_t>(Clamp(param, 0, 255));
            else if (w == "blue") colorEntry_.blue = static_cast<uint8_t>(Clamp(param, 0, 255));
            else return;
            colorEntrySet_ = true;
            return;
        case Dest::ListTable:
            if (w == "list") {
                CountItem();
                lists_.emplace_back();
            } else if (w == "listlevel" && !lists_.empty()) {
                CountItem();
                lists_.back().levelFormats.push_back(255);
            } else if ((w == "levelnfc" || w == "levelnfcn") && !lists_.empty() && !lists_.back().levelFormats.empty()) {
                lists_.back().levelFormats.back() = Clamp(param, 0, 255);
            } else if (w == "listid" && !lists_.empty()) {
                lists_.back().id = Clamp(param, -(1 << 30), 1 << 30);
                listById_.emplace(lists_.back().id, lists_.size() - 1);
            }
            return;
        case Dest::ListOverrideTable:
            if (w == "listoverride") {
                CountItem();
                overrides_.emplace_back();
            } else if (w == "listid" && !overrides_.empty()) {
                overrides_.back().listId = Clamp(param, -(1 << 30), 1 << 30);
            } else if (w == "ls" && !overrides_.empty()) {
                overrides_.back().ls = Clamp(param, -(1 << 30), 1 << 30);
                overrideByLs_.emplace(overrides_.back().ls, overrides_.size() - 1);
            }
            return;
        case Dest::Pn:
            if (w == "pnlvlblt") s.pnKind = PnKind::Bullet;
            else if (w == "pnlvlbody" || w == "pnlvlcont" || w == "pnlvl") s.pnKind = PnKind::Other;
            return;
        case Dest::Skip:
            return;
        case Dest::Text:
        case Dest::Upr:
            break;
    }

    // Character formatting.
    CharState& ch = s.ch;
    if (w == "plain") { ch = CharState{}; return; }
    if (w == "b") { ch.bold = on; return; }
    if (w == "i") { ch.italic = on; return; }
    if (w == "strike" || w == "striked") { ch.strike = on; return; }
    if (IsUnderline(w)) { ch.underline = on; return; }
    if (w == "ulnone") { ch.underline = false; return; }
    if (w == "v") { ch.hidden = on; return; }
    if (w == "fs") { ch.halfPoints = hasParam ? Clamp(param, 2, 3276) : 24; return; }
    if (w == "f") { if (hasParam) ch.font = Clamp(param, 0, 1 << 30); return; }
    if (w == "cf") { ch.color = Clamp(param, 0, 1 << 30); return; }
    // Paragraph formatting.
    ParaState& pa = s.pa;
    if (w == "pard") { pa = ParaState{}; return; }
    if (w == "ql") { pa.alignment = Alignment::Left; return; }
    if (w == "qr") { pa.alignment = Alignment::Right; return; }
    if (w == "qc") { pa.alignment = Alignment::Centre; return; }
    if (w == "qj" || w == "qd") { pa.alignment = Alignment::Justify; return; }
    if (w == "li" || w == "lin") { pa.leftIndent = Clamp(param, -kMaxTwips, kMaxTwips); return; }
    if (w == "fi") { pa.firstIndent = Clamp(param, -kMaxTwips, kMaxTwips); return; }
    if (w == "sb") { pa.spaceBefore = Clamp(param, 0, kMaxTwips); return; }
    if (w == "sa") { pa.spaceAfter = Clamp(param, 0, kMaxTwips); return; }
    if (w == "ls") { pa.ls = Clamp(param, -(1 << 30), 1 << 30); return; }
    if (w == "ilvl") { pa.ilvl = Clamp(param, 0, 8); return; }
    // Breaks and special characters.
    if (w == "par") { if (s.dest == Dest::Text) EndParagraph(); return; }
    if (w == "sect" || w == "page" || w == "column") {
        if (s.dest == Dest::Text && curHasText_) EndParagraph();
        return;
    }
    if (w == "row" || w == "nestrow") {
        if (s.dest != Dest::Text) return;
        if (lastWasCellTab_ && !cur_.runs.empty()) {
            cur_.runs.back().text.pop_back();
            if (cur_.runs.back().text.empty()) cur_.runs.pop_back();
        }
        EndParagraph();
        return;
    }
    if (w == "cell" || w == "nestcell") {
        Emit(U'\t');
        lastWasCellTab_ = true;
        return;
    }
    static const std::map<std::string_view, char32_t> kChars = {
        {"tab", U'\t'}, {"line", U'\v'}, {"emdash", 0x2014}, {"endash", 0x2013},
        {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005}, {"bullet", 0x2022},
        {"lquote", 0x2018}, {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
    };
    if (auto it = kChars.find(w); it != kChars.end()) Emit(it->second);
}

void Reader::ControlSymbol(char c) {
    switch (c) {
        case '*': starred_ = true; return;
        case '\\': case '{': case '}':
            // Literal characters, whatever the font's code page makes of their byte values.
            Emit(static_cast<char32_t>(c));
            return;
        case '~': Emit(0x00A0); return;
        case '_': Emit(0x2011); return;
        case '\t': Emit(U'\t'); return;
        case '\r': case '\n':
            if (Top().dest == Dest::Text) EndParagraph();
            return;
        default: return;  // \- optional hyphen, \| \: index marks
    }
}

int Reader::CurrentCodePage() {
    const State& s = Top();
    if (s.dest == Dest::FontTable)
        return fontEntry_.codePage ? fontEntry_.codePage : CodePageOfCharset(fontEntry_.charset, ansiCodePage_);
    int number = s.ch.font >= 0 ? s.ch.font : defaultFont_;
    auto it = fonts_.find(number);
    if (it == fonts_.end()) it = fonts_.find(defaultFont_);
    if (it == fonts_.end()) return ansiCodePage_;
    return it->second.codePage ? it->second.codePage : CodePageOfCharset(it->second.charset, ansiCodePage_);
}

void Reader::TextByte(unsigned char b) {
    State& s = Top();
    lastWasCellTab_ = false;
    switch (s.dest) {
        case Dest::Text:
            if (s.ch.hidden) return;
            if (b == '\t') {
                FlushBytes();
                Emit(U'\t');
                return;
            }
            break;
        case Dest::FontTable:
            if (b == ';') {
                FlushBytes();
                CommitFont();
                return;
            }
            break;
        case Dest::ColorTable:
            if (b == ';') {
                colors_.push_back(colorEntrySet_ ? std::optional<Rgb>(colorEntry_) : std::nullopt);
                CountItem();
                colorEntry_ = Rgb{};
                colorEntrySet_ = false;
            }
            return;
        default:
            return;
    }
    int cp = CurrentCodePage();
    if (!pending_.empty() && cp != pendingCodePage_) FlushBytes();
    pendingCodePage_ = cp;
    pending_ += static_cast<char>(b);
}

UConverter* Reader::Converter(int cp) {
    auto it = converters_.find(cp);
    if (it != converters_.end()) return it->second;
    UErrorCode err = U_ZERO_ERROR;
    UConverter* conv = ucnv_open(ConverterName(cp).c_str(), &err);
    if (U_FAILURE(err)) conv = nullptr;
    converters_[cp] = conv;
    return conv;
}

void Reader::FlushBytes() {
    if (pending_.empty()) return;
    std::string bytes;
    bytes.swap(pending_);
    UConverter* conv = pendingCodePage_ == 1252 ? nullptr : Converter(pendingCodePage_);
    if (!conv) {
        for (char b : bytes) Emit(FromCp1252(static_cast<unsigned char>(b)));
        return;
    }
    std::u16string u16(bytes.size() * 2 + 4, u'\0');
    UErrorCode err = U_ZERO_ERROR;
    ucnv_reset(conv);
    int32_t n = ucnv_toUChars(conv, reinterpret_cast<UChar*>(u16.data()), static_cast<int32_t>(u16.size()),
                              bytes.data(), static_cast<int32_t>(bytes.size()), &err);
    if (U_FAILURE(err)) {
        for (char b : bytes) Emit(FromCp1252(static_cast<unsigned char>(b)));
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        char32_t c = u16[static_cast<std::size_t>(i)];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && u16[static_cast<std::size_t>(i) + 1] >= 0xDC00 &&
            u16[static_cast<std::size_t>(i) + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u16[static_cast<std::size_t>(++i)] - 0xDC00);
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c == 0x1A) {
            c = 0xFFFD;    // the converter's substitute for bytes it cannot map
        }
        Emit(c);
    }
}

void Reader::Emit(char32_t c) {
    if (highSurrogate_) {
        // A high surrogate not followed by its low half.
        highSurrogate_ = 0;
        Emit(0xFFFD);
    }
    State& s = Top();
    switch (s.dest) {
        case Dest::Text:
            if (!s.ch.hidden) EmitToDocument(c);
            return;
        case Dest::FontTable:
            if (c >= 0x20) AppendUtf8(fontEntry_.name, c);
            return;
        default:
            return;
    }
}

void Reader::EmitToDocument(char32_t c) {
    if (c == 0 || (c < 0x20 && c != U'\t' && c != U'\v')) return;
    lastWasCellTab_ = false;
    const State& s = Top();
    if (cur_.runs.empty() || !(curRunState_ == s.ch)) {
        CountItem();
        cur_.runs.push_back(Run{{}, Resolve(s.ch)});
        curRunState_ = s.ch;
    }
    AppendUtf8(cur_.runs.back().text, c);
    curParaState_ = s.pa;
    curHasText_ = true;
}

void Reader::EndParagraph() {
    FlushBytes();
    const State& s = Top();
    cur_.format = Resolve(s.pa);
    cur_.markFormat = Resolve(s.ch);
    CountItem();
    paras_.push_back(std::move(cur_));
    cur_ = Paragraph{};
    curHasText_ = false;
    afterPar_ = true;
    lastWasCellTab_ = false;
}

void Reader::CommitFont() {
    if (!fontNumber_) return;
    std::string& name = fontEntry_.name;
    std::size_t a = name.find_first_not_of(' ');
    std::size_t b = name.find_last_not_of(' ');
    name = a == std::string::npos ? std::string() : name.substr(a, b - a + 1);
    CountItem();
    fonts_[*fontNumber_] = fontEntry_;
    fontNumber_.reset();
    fontEntry_ = Font{};
}

CharFormat Reader::Resolve(const CharState& ch) const {
    CharFormat f;
    auto it = fonts_.find(ch.font >= 0 ? ch.font : defaultFont_);
    if (it == fonts_.end()) it = fonts_.find(defaultFont_);
    if (it != fonts_.end()) {
        f.fontName = it->second.name;
        f.charset = it->second.charset;
    } else {
        f.fontName = def_.fontName;
        f.charset = def_.charset;
    }
    f.halfPoints = ch.halfPoints;
    f.bold = ch.bold;
    f.italic = ch.italic;
    f.underline = ch.underline;
    f.strikeout = ch.strike;
    if (ch.color >= 0 && static_cast<std::size_t>(ch.color) < colors_.size()) f.color = colors_[static_cast<std::size_t>(ch.color)];
    return f;
}

ParaFormat Reader::Resolve(const ParaState& pa) const {
    ParaFormat f;
    f.alignment = pa.alignment;
    f.leftIndent = pa.leftIndent;
    f.firstIndent = pa.firstIndent;
    f.spaceBefore = pa.spaceBefore;
    f.spaceAfter = pa.spaceAfter;
    f.bullet = pa.pnBullet;
    if (!f.bullet && pa.ls > 0) {
        // A list paragraph is a bullet when its level is formatted as one; without a list
        // table to say otherwise, assume a bullet.
        f.bullet = true;
        auto ov = overrideByLs_.find(pa.ls);
        auto list = ov == overrideByLs_.end() ? listById_.end() : listById_.find(overrides_[ov->second].listId);
        if (list != listById_.end() && !lists_[list->second].levelFormats.empty()) {
            const std::vector<int>& levels = lists_[list->second].levelFormats;
            f.bullet = levels[std::min<std::size_t>(static_cast<std::size_t>(pa.ilvl), levels.size() - 1)] == 23;
        }
    }
    return f;
}

// Plain text: valid UTF-8 (a byte-order mark dropped) or else Windows-1252. Binary control
// bytes mean the data is not text at all.
RichText ReadPlainText(std::string_view data, const CharFormat& def) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        auto b = static_cast<unsigned char>(data[i]);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\v' && b != '\f' && b != '\r' && b != 0x1A)
            throw RtfError("Not RTF or text: binary byte " + std::to_string(b) + " at offset " + std::to_string(i));
    }
    if (data.starts_with("\xEF\xBB\xBF")) data.remove_prefix(3);
    if (static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n')) >= kMaxItems ||
        static_cast<std::size_t>(std::count(data.begin(), data.end(), '\r')) >= kMaxItems)
        throw RtfError("Text has more than 1000000 lines");
    std::string text;
    if (IsValidUtf8(data)) {
        text.assign(data);
    } else {
        for (char b : data) AppendUtf8(text, FromCp1252(static_cast<unsigned char>(b)));
    }
    return RichText::FromPlainText(text, def);
}

RichText ReadAny(std::string_view data, const CharFormat& def) {
    if (data.size() > kMaxInput) throw RtfError("RTF data is larger than 64 MiB");
    std::size_t start = data.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (start < data.size() && std::strchr(" \t\r\n", data[start]) && data[start] != '\0') ++start;
    if (data.substr(start).starts_with("{\\rtf")) {
        Reader reader(data, def);
        return reader.Read(start);
    }
    return ReadPlainText(data, def);
}

}  // namespace

RichText ReadRtf(std::string_view data, const CharFormat& defaultFormat) { return ReadAny(data, defaultFormat); }

std::optional<RichText> TryReadRtf(std::string_view data, std::string* error, const CharFormat& defaultFormat) {
    try {
        return ReadAny(data, defaultFormat);
    } catch (const RtfError& e) {
        if (error) *error = e.what();
    } catch (const std::bad_alloc&) {
        if (error) *error = "Not enough memory to read the RTF data";
    }
    return std::nullopt;
}

}  // namespace clx
