#include "platform/richtext.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <cmath>

namespace clx {

using namespace richtext_detail;

namespace {

// The text of one paragraph's worth of input: valid UTF-8 with control characters other than
// tab and line break (U+000B) removed.
std::string CleanLine(std::u32string_view cps) {
    std::string out;
    out.reserve(cps.size());
    for (char32_t c : cps) {
        if (c < 0x20 && c != U'\t' && c != U'\v') continue;
        AppendUtf8(out, c);
    }
    return out;
}

// Splits text at "\r\n", "\r" and "\n" into cleaned lines (at least one).
std::vector<std::string> SplitLines(std::string_view text) {
    std::u32string cps = DecodeUtf8(text);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        if (cps[i] != U'\r' && cps[i] != U'\n') continue;
        lines.push_back(CleanLine(std::u32string_view(cps).substr(start, i - start)));
        if (cps[i] == U'\r' && i + 1 < cps.size() && cps[i + 1] == U'\n') ++i;
        start = i + 1;
    }
    lines.push_back(CleanLine(std::u32string_view(cps).substr(start)));
    return lines;
}

void Normalise(Paragraph& p) {
    std::vector<Run> runs;
    runs.reserve(p.runs.size());
    for (Run& r : p.runs) {
        if (r.text.empty()) continue;
        if (!runs.empty() && runs.back().format == r.format)
            runs.back().text += r.text;
        else
            runs.push_back(std::move(r));
    }
    p.runs = std::move(runs);
    if (!p.runs.empty()) p.markFormat = p.runs.back().format;
}

// Byte offset of the n-th character of valid UTF-8 s.
std::size_t ByteOffset(std::string_view s, std::size_t n) {
    std::size_t i = 0;
    for (; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (n == 0) return i;
            --n;
        }
    }
    return s.size();
}

// Makes a run boundary at character offset off and returns the index of the run starting there.
std::size_t SplitAt(Paragraph& p, std::size_t off) {
    std::size_t acc = 0;
    for (std::size_t i = 0; i < p.runs.size(); ++i) {
        if (off == acc) return i;
        std::size_t n = CountCodePoints(p.runs[i].text);
        if (off < acc + n) {
            std::size_t b = ByteOffset(p.runs[i].text, off - acc);
            Run tail{p.runs[i].text.substr(b), p.runs[i].format};
            p.runs[i].text.resize(b);
            p.runs.insert(p.runs.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(tail));
            return i + 1;
        }
        acc += n;
    }
    return p.runs.size();
}

bool IsWordChar(char32_t c) { return c == U'_' || u_isalnum(static_cast<UChar32>(c)); }

std::u32string Fold(std::u32string s) {
    for (char32_t& c : s) c = static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
    return s;
}

}  // namespace

void CharFormat::SetPoints(double points) {
    double half = std::round(points * 2);
    halfPoints = static_cast<int>(std::clamp(half, 2.0, 3276.0));
}

std::size_t Paragraph::Length() const {
    std::size_t n = 0;
    for (const Run& r : runs) n += CountCodePoints(r.text);
    return n;
}

std::string Paragraph::Text() const {
    std::string s;
    for (const Run& r : runs) s += r.text;
    return s;
}

RichText::RichText(CharFormat defaultFormat) : default_(std::move(defaultFormat)) { Clear(); }

void RichText::Clear() {
    paras_.assign(1, Paragraph{});
    paras_[0].markFormat = default_;
}

RichText RichText::FromParagraphs(std::vector<Paragraph> paragraphs, CharFormat defaultFormat) {
    RichText t(std::move(defaultFormat));
    if (paragraphs.empty()) return t;
    t.paras_.clear();
    for (Paragraph& p : paragraphs) {
        Paragraph cur{p.format, {}, p.markFormat};
        for (Run& r : p.runs) {
            std::vector<std::string> lines = SplitLines(r.text);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (i > 0) {
                    Normalise(cur);
                    Paragraph next{cur.format, {}, cur.markFormat};
                    t.paras_.push_back(std::move(cur));
                    cur = std::move(next);
                }
                cur.runs.push_back(Run{std::move(lines[i]), r.format});
            }
        }
        Normalise(cur);
        t.paras_.push_back(std::move(cur));
    }
    return t;
}

RichText RichText::FromPlainText(std::string_view text, CharFormat format) {
    RichText t(format);
    t.AppendText(text, format);
    return t;
}

std::string RichText::PlainText(std::string_view paragraphBreak) const {
    std::string s;
    for (std::size_t i = 0; i < paras_.size(); ++i) {
        if (i > 0) s += paragraphBreak;
        for (const Run& r : paras_[i].runs) s += r.text;
    }
    return s;
}

std::string RichText::PlainText(std::size_t pos, std::size_t len, std::string_view paragraphBreak) const {
    std::size_t total = Length();
    pos = std::min(pos, total);
    len = std::min(len, total - pos);
    Place from = Locate(pos), to = Locate(pos + len);
    std::string s;
    for (std::size_t i = from.para; i <= to.para; ++i) {
        std::string t = paras_[i].Text();
        std::size_t a = i == from.para ? ByteOffset(t, from.offset) : 0;
        std::size_t b = i == to.para ? ByteOffset(t, to.offset) : t.size();
        s.append(t, a, b - a);
        if (i < to.para) s += paragraphBreak;
    }
    return s;
}

std::size_t RichText::Length() const {
    std::size_t n = paras_.size() - 1;
    for (const Paragraph& p : paras_) n += p.Length();
    return n;
}

RichText::Place RichText::Locate(std::size_t pos) const {
    std::size_t start = 0;
    for (std::size_t i = 0; i < paras_.size(); ++i) {
        std::size_t len = paras_[i].Length();
        if (pos <= start + len) return {i, pos - start};
        start += len + 1;
    }
    return {paras_.size() - 1, paras_.back().Length()};
}

std::size_t RichText::PositionOf(std::size_t para) const {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < para; ++i) pos += paras_[i].Length() + 1;
    return pos;
}

std::optional<TextRange> RichText::FindText(std::string_view needle, std::size_t from,
                                            FindOptions options) const {
    // The needle as segments between breaks.
    std::u32string cps = DecodeUtf8(needle);
    std::vector<std::u32string> segs(1);
    for (std::size_t i = 0; i < cps.size(); ++i) {
        if (cps[i] == U'\r' || cps[i] == U'\n') {
            if (cps[i] == U'\r' && i + 1 < cps.size() && cps[i + 1] == U'\n') ++i;
            segs.emplace_back();
        } else {
            segs.back() += cps[i];
        }
    }
    std::size_t matchLen = segs.size() - 1;
    for (const auto& s : segs) matchLen += s.size();
    if (matchLen == 0 || from > Length()) return std::nullopt;
    // Whole words are checked only at an end of the needle that is itself a word character.
    bool checkFront = options.wholeWord && !segs.front().empty() && IsWordChar(segs.front().front());
    bool checkBack = options.wholeWord && !segs.back().empty() && IsWordChar(segs.back().back());
    if (!options.matchCase)
        for (auto& s : segs) s = Fold(std::move(s));
    auto text = [&](std::size_t i) {
        std::u32string t = DecodeUtf8(paras_[i].Text());
        return options.matchCase ? t : Fold(std::move(t));
    };

    Place start = Locate(from);
    std::size_t paraStart = from - start.offset;
    if (segs.size() == 1) {
        const std::u32string& seg = segs[0];
        for (std::size_t i = start.para; i < paras_.size(); ++i) {
            std::u32string t = text(i);
            std::size_t at = i == start.para ? start.offset : 0;
            while ((at = t.find(seg, at)) != std::u32string::npos) {
                bool ok = (!checkFront || at == 0 || !IsWordChar(t[at - 1])) &&
                          (!checkBack || at + seg.size() == t.size() || !IsWordChar(t[at + seg.size()]));
                if (ok) return TextRange{paraStart + at, matchLen};
                ++at;
            }
            paraStart += t.size() + 1;
        }
        return std::nullopt;
    }

    std::size_t breaks = segs.size() - 1;
    for (std::size_t i = start.para; i + breaks < paras_.size(); ++i) {
        std::u32string t = text(i);
        const std::u32string& first = segs.front();
        std::size_t size = t.size();
        if (size >= first.size() && t.compare(size - first.size(), first.size(), first) == 0 &&
            paraStart + size - first.size() >= from) {
            std::size_t at = size - first.size();
            bool ok = !checkFront || at == 0 || !IsWordChar(t[at - 1]);
            for (std::size_t k = 1; ok && k < breaks; ++k) ok = text(i + k) == segs[k];
            if (ok) {
                std::u32string last = text(i + breaks);
                const std::u32string& seg = segs.back();
                ok = last.compare(0, seg.size(), seg) == 0 &&
                     (!checkBack || seg.size() == last.size() || !IsWordChar(last[seg.size()]));
            }
            if (ok) return TextRange{paraStart + at, matchLen};
        }
        paraStart += size + 1;
    }
    return std::nullopt;
}

void RichText::Erase(Place from, Place to) {
    if (from.para == to.para) {
        Paragraph& p = paras_[from.para];
        std::size_t a = SplitAt(p, from.offset);
        std::size_t b = SplitAt(p, to.offset);
        p.runs.erase(p.runs.begin() + static_cast<std::ptrdiff_t>(a), p.runs.begin() + static_cast<std::ptrdiff_t>(b));
        Normalise(p);
        return;
    }
    Paragraph& head = paras_[from.para];
    Paragraph& tail = paras_[to.para];
    head.runs.resize(SplitAt(head, from.offset));
    std::size_t b = SplitAt(tail, to.offset);
    head.runs.insert(head.runs.end(), std::make_move_iterator(tail.runs.begin() + static_cast<std::ptrdiff_t>(b)),
                     std::make_move_iterator(tail.runs.end()));
    head.markFormat = tail.markFormat;
    Normalise(head);
    paras_.erase(paras_.begin() + static_cast<std::ptrdiff_t>(from.para) + 1,
                 paras_.begin() + static_cast<std::ptrdiff_t>(to.para) + 1);
}

// Inserts pieces at `at`: the first one's runs join the text before `at`, the last one's the
// text after it. The paragraphs that end in an inserted break take their piece's paragraph
// format and end format; the last keeps the target's.
std::size_t RichText::InsertParagraphs(Place at, std::vector<Paragraph> pieces) {
    std::size_t inserted = pieces.size() - 1;
    for (const Paragraph& p : pieces) inserted += p.Length();
    std::size_t end = PositionOf(at.para) + at.offset + inserted;
    Paragraph& target = paras_[at.para];
    std::size_t cut = SplitAt(target, at.offset);
    if (pieces.size() == 1) {
        target.runs.insert(target.runs.begin() + static_cast<std::ptrdiff_t>(cut),
                           std::make_move_iterator(pieces[0].runs.begin()), std::make_move_iterator(pieces[0].runs.end()));
        Normalise(target);
        return end;
    }
    Paragraph last = std::move(pieces.back());
    pieces.pop_back();
    Paragraph tail{target.format, std::move(last.runs), target.markFormat};
    tail.runs.insert(tail.runs.end(), std::make_move_iterator(target.runs.begin() + static_cast<std::ptrdiff_t>(cut)),
                     std::make_move_iterator(target.runs.end()));
    target.runs.resize(cut);
    target.runs.insert(target.runs.end(), std::make_move_iterator(pieces[0].runs.begin()),
                       std::make_move_iterator(pieces[0].runs.end()));
    target.format = pieces[0].format;
    target.markFormat = pieces[0].markFormat;
    Normalise(target);
    Normalise(tail);
    for (Paragraph& p : pieces) Normalise(p);
    auto pos = paras_.begin() + static_cast<std::ptrdiff_t>(at.para) + 1;
    pos = paras_.insert(pos, std::make_move_iterator(pieces.begin() + 1), std::make_move_iterator(pieces.end()));
    paras_.insert(pos + static_cast<std::ptrdiff_t>(pieces.size() - 1), std::move(tail));
    return end;
}

std::size_t RichText::ReplaceRange(std::size_t pos, std::size_t len, std::string_view text) {
    std::size_t total = Length();
    pos = std::min(pos, total);
    len = std::min(len, total - pos);
    CharFormat format = len > 0 ? FormatAt(pos) : InsertionFormat(pos);
    Place at = Locate(pos);
    if (len > 0) {
        Erase(at, Locate(pos + len));
        if (paras_[at.para].runs.empty()) paras_[at.para].markFormat = format;
    }
    std::vector<std::string> lines = SplitLines(text);
    std::vector<Paragraph> pieces;
    pieces.reserve(lines.size());
    for (std::string& line : lines) {
        Paragraph p{paras_[at.para].format, {}, format};
        if (!line.empty()) p.runs.push_back(Run{std::move(line), format});
        pieces.push_back(std::move(p));
    }
    return InsertParagraphs(at, std::move(pieces));
}

std::size_t RichText::InsertRichText(std::size_t pos, const RichText& other) {
    pos = std::min(pos, Length());
    return InsertParagraphs(Locate(pos), other.paras_);
}

void RichText::AppendText(std::string_view text, const CharFormat& format) {
    std::vector<Paragraph> pieces;
    for (std::string& line : SplitLines(text)) {
        Paragraph p{paras_.back().format, {}, format};
        if (!line.empty()) p.runs.push_back(Run{std::move(line), format});
        pieces.push_back(std::move(p));
    }
    InsertParagraphs(Place{paras_.size() - 1, paras_.back().Length()}, std::move(pieces));
}

void RichText::AppendParagraph(const ParaFormat& format) {
    CharFormat mark = paras_.back().markFormat;
    paras_.push_back(Paragraph{format, {}, std::move(mark)});
}

void RichText::SetRangeFormat(std::size_t pos, std::size_t len, const std::function<void(CharFormat&)>& change) {
    std::size_t total = Length();
    pos = std::min(pos, total);
    len = std::min(len, total - pos);
    if (len == 0) return;
    Place from = Locate(pos), to = Locate(pos + len);
    for (std::size_t i = from.para; i <= to.para; ++i) {
        Paragraph& p = paras_[i];
        std::size_t a = SplitAt(p, i == from.para ? from.offset : 0);
        std::size_t b = i == to.para ? SplitAt(p, to.offset) : p.runs.size();
        for (std::size_t k = a; k < b; ++k) change(p.runs[k].format);
        if (i < to.para) change(p.markFormat);
        Normalise(p);
    }
}

void RichText::SetParagraphFormat(std::size_t pos, std::size_t len, const std::function<void(ParaFormat&)>& change) {
    std::size_t total = Length();
    pos = std::min(pos, total);
    len = std::min(len, total - pos);
    Place from = Locate(pos), to = Locate(pos + len);
    // A range that ends at the start of a paragraph (a whole line selected with its break) does
    // not reach into it.
    std::size_t last = to.para;
    if (len > 0 && to.offset == 0 && to.para > from.para) --last;
    for (std::size_t i = from.para; i <= last; ++i) change(paras_[i].format);
}

CharFormat RichText::FormatAt(std::size_t pos) const {
    Place at = Locate(pos);
    const Paragraph& p = paras_[at.para];
    std::size_t acc = 0;
    for (const Run& r : p.runs) {
        acc += CountCodePoints(r.text);
        if (at.offset < acc) return r.format;
    }
    return p.markFormat;
}

CharFormat RichText::InsertionFormat(std::size_t pos) const {
    Place at = Locate(pos);
    const Paragraph& p = paras_[at.para];
    if (at.offset > 0) return FormatAt(pos - 1);
    return p.runs.empty() ? p.markFormat : p.runs.front().format;
}

bool RichText::AllOf(std::size_t pos, std::size_t len, const std::function<bool(const CharFormat&)>& test) const {
    std::size_t total = Length();
    pos = std::min(pos, total);
    len = std::min(len, total - pos);
    if (len == 0) return test(InsertionFormat(pos));
    Place from = Locate(pos), to = Locate(pos + len);
    for (std::size_t i = from.para; i <= to.para; ++i) {
        const Paragraph& p = paras_[i];
        std::size_t a = i == from.para ? from.offset : 0;
        std::size_t b = i == to.para ? to.offset : SIZE_MAX;
        std::size_t acc = 0;
        for (const Run& r : p.runs) {
            std::size_t n = CountCodePoints(r.text);
            if (acc < b && acc + n > a && !test(r.format)) return false;
            acc += n;
        }
        if (i < to.para && !test(p.markFormat)) return false;
    }
    return true;
}

const ParaFormat& RichText::ParagraphFormatAt(std::size_t pos) const { return paras_[Locate(pos).para].format; }

}  // namespace clx
