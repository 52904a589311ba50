#pragma once
// RichText: the content of a rich-text editor as paragraphs of formatted runs, with the
// editing operations the program performs on it (find, replace a range keeping its format,
// format a range, format paragraphs) and RTF reading and writing.
//
// Positions. A position is a count of characters (Unicode code points) from the start of the
// text, and every paragraph break counts as ONE character, as in the editor's selection.
// PlainText() joins paragraphs with "\r\n" as the editor reports its text, so an offset into
// PlainText() equals a position only before the first break; use FindText to turn a piece of
// plain text into a position range. In texts given to FindText and ReplaceRange, "\r\n",
// "\r" and "\n" each stand for one paragraph break. A line break inside a paragraph (RTF
// \line) is the character U+000B; a tab is "\t". The final paragraph has no break.
#include "platform/text_encoding.h"
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace clx {

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

struct CharFormat {
    std::string fontName = "Arial";
    int halfPoints = 20;               // font size in half points: 20 is 10 pt
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    std::optional<Rgb> color;          // none: the automatic (window text) colour
    int charset = 0;                   // Windows character set of the font: 0 ANSI, 2 symbol, 204 Cyrillic...

    double Points() const { return halfPoints / 2.0; }
    void SetPoints(double points);     // rounded to the nearest half point, 1 to 1638
    bool operator==(const CharFormat&) const = default;
};

enum class Alignment { Left, Right, Centre, Justify };

struct ParaFormat {
    Alignment alignment = Alignment::Left;
    bool bullet = false;
    int leftIndent = 0;    // twips (1/1440 inch); the two indents may be negative
    int firstIndent = 0;   // first line, relative to the left indent
    int spaceBefore = 0;
    int spaceAfter = 0;
    bool operator==(const ParaFormat&) const = default;
};

struct Run {
    std::string text;      // UTF-8, never empty, no paragraph breaks
    CharFormat format;
    bool operator==(const Run&) const = default;
};

struct Paragraph {
    ParaFormat format;
    std::vector<Run> runs;     // adjacent runs differ in format
    CharFormat markFormat;     // format of the paragraph's end; equals the last run's when there are runs
    std::size_t Length() const;    // characters, without the break
    std::string Text() const;
    bool operator==(const Paragraph&) const = default;
};

struct TextRange {
    std::size_t pos = 0;
    std::size_t len = 0;
    bool operator==(const TextRange&) const = default;
};

struct FindOptions {
    bool matchCase = false;
    bool wholeWord = false;    // the match is not preceded or followed by a letter, digit or "_"
};

class RichText {
public:
    // An empty text: one empty paragraph in defaultFormat. The default format is what an empty
    // text, Clear() and plain-text loading use; it is not part of the content (not compared).
    explicit RichText(CharFormat defaultFormat = {});
    // Paragraphs as given, normalised (empty runs dropped, equal neighbours merged, invalid
    // UTF-8 replaced, breaks inside run texts turned into paragraphs); none gives an empty text.
    static RichText FromParagraphs(std::vector<Paragraph> paragraphs, CharFormat defaultFormat = {});
    static RichText FromPlainText(std::string_view text, CharFormat format = {});

    const CharFormat& DefaultFormat() const { return default_; }
    void SetDefaultFormat(CharFormat format) { default_ = std::move(format); }

    const std::vector<Paragraph>& Paragraphs() const { return paras_; }
    std::string PlainText(std::string_view paragraphBreak = "\r\n") const;
    // The characters of a range, breaks written as paragraphBreak.
    std::string PlainText(std::size_t pos, std::size_t len, std::string_view paragraphBreak = "\r\n") const;
    std::size_t Length() const;    // characters including the breaks between paragraphs
    bool Empty() const { return paras_.size() == 1 && paras_[0].runs.empty(); }
    void Clear();                  // one empty paragraph in the default format

    // First match of needle starting at or after from; none for an empty needle or no match.
    // The range's len counts a break as one character.
    std::optional<TextRange> FindText(std::string_view needle, std::size_t from = 0,
                                      FindOptions options = {}) const;

    // Replaces len characters at pos by text (both clamped to the text). The new text takes the
    // format of the first replaced character; when nothing is replaced, the format of the
    // character before pos, or at the start of a paragraph of its first character (of its end
    // when it is empty). Breaks in text split the paragraph; new paragraphs take its format.
    // Returns the position just after the inserted text.
    std::size_t ReplaceRange(std::size_t pos, std::size_t len, std::string_view text);
    // Inserts other with its formatting. Paragraphs of other that end with a break bring their
    // paragraph format; the last one's text joins the paragraph at pos, which keeps its format.
    std::size_t InsertRichText(std::size_t pos, const RichText& other);
    void AppendText(std::string_view text, const CharFormat& format);
    void AppendParagraph(const ParaFormat& format);    // a break, then an empty paragraph

    // Changes the format of every character in the range (a break included: it is the format
    // of the paragraph's end). An empty range changes nothing.
    void SetRangeFormat(std::size_t pos, std::size_t len, const std::function<void(CharFormat&)>& change);
    // Changes every paragraph that the range touches (the one at pos when len is 0).
    void SetParagraphFormat(std::size_t pos, std::size_t len, const std::function<void(ParaFormat&)>& change);

    CharFormat FormatAt(std::size_t pos) const;         // the character at pos (a break: its paragraph's end)
    CharFormat InsertionFormat(std::size_t pos) const;  // what ReplaceRange(pos, 0, ...) gives the new text
    // Whether every character of the range passes test; for an empty range, the insertion format.
    bool AllOf(std::size_t pos, std::size_t len, const std::function<bool(const CharFormat&)>& test) const;
    const ParaFormat& ParagraphFormatAt(std::size_t pos) const;

    bool operator==(const RichText& other) const { return paras_ == other.paras_; }

private:
    struct Place {
        std::size_t para = 0;
        std::size_t offset = 0;   // characters into the paragraph; its length is the break
    };
    Place Locate(std::size_t pos) const;
    std::size_t PositionOf(std::size_t para) const;
    void Erase(Place from, Place to);
    std::size_t InsertParagraphs(Place at, std::vector<Paragraph> pieces);

    std::vector<Paragraph> paras_;
    CharFormat default_;
};

// Reading RTF failed; the message says what was wrong with the data.
class RtfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads an RTF document as editors write it. Data that does not start with "{\rtf" is taken as
// plain text (UTF-8 when valid, else Windows-1252) in defaultFormat, as the editor does; empty
// data gives an empty text. Throws RtfError for binary data that is neither, and for data past
// the safety limits (64 MiB, groups nested deeper than 1000, more than 1,000,000 paragraphs and
// runs, or lines of plain text). A document cut short is read as far as it goes.
RichText ReadRtf(std::string_view data, const CharFormat& defaultFormat = {});
// The same without throwing: none on failure, with the reason in *error when given.
std::optional<RichText> TryReadRtf(std::string_view data, std::string* error = nullptr,
                                   const CharFormat& defaultFormat = {});

// Writes the text as an RTF 1.x document that word processors open with the same text and
// formatting and that ReadRtf reads back equal.
std::string WriteRtf(const RichText& text);

namespace richtext_detail {
using clx::AppendUtf8;
using clx::CountCodePoints;
using clx::DecodeUtf8;
using clx::FromCp1252;
using clx::IsValidUtf8;
using clx::ToCp1252;
}  // namespace richtext_detail

}  // namespace clx
