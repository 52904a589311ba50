// The token engine: resolving tokens and merging them into rich text.
#include <optional>

#include "output/tokens.h"
#include "platform/format.h"
#include "platform/memtable.h"
#include "platform/ui.h"

namespace clx {

namespace {

const std::string& TextOf(const Value& v) {
    static const std::string empty;
    const auto* s = std::get_if<std::string>(&v);
    return s ? *s : empty;
}

// Characters of a value once inserted: a line break ("\r\n", "\r" or "\n") is one.
std::size_t InsertedLength(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) == 0x80) continue;
        if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        ++n;
    }
    return n;
}

class BusyFlag {
public:
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

TokenEngine::TokenEngine(Locale locale, TokenProvider* provider, UiServices* ui)
    : locale_(std::move(locale)), provider_(provider), ui_(ui) {}

void TokenEngine::RegisterSource(std::string code, MemTable& table, std::string keyField,
                                 std::string valueField) {
    sources_.push_back({AsciiUpper(code), std::move(keyField), std::move(valueField), &table});
}

TToken TokenEngine::Parse(std::string_view tokenText) const {
    TToken t = ParseToken(tokenText, delimiters_);
    t.Engine = this;
    return t;
}

std::string TokenEngine::SystemToken(const TToken& token) const {
    const bool date = token.Name == "DATE", dateTime = token.Name == "DATETIME";
    if (!date && !dateTime) return {};   // PAGEBREAK, PADTOLINE and the rest give nothing here
    const TDateTime now = clock_ ? clock_() : CurrentDateTime();
    if (date) {
        const auto today = static_cast<TDateTime>(WholeDays(now));
        return token.Format.empty() ? SystemDateText(today, locale_)
                                    : FormatDateTime(token.Format, today, locale_);
    }
    return FormatDateTime(token.Format.empty() ? "ddd d/m/yyyy h:mm am/pm" : token.Format, now, locale_);
}

std::string TokenEngine::ResolveToken(const TToken& token) const {
    std::string value;
    if (token.Source == "SYS") {
        try {
            value = SystemToken(token);
        } catch (...) {
            value.clear();
        }
    }
    if (value.empty() && provider_) {
        try {
            value = provider_->TokenValue(token);
        } catch (...) {
            value.clear();
        }
    }
    if (value.empty()) {
        try {
            value = SourceLookup(token);
        } catch (...) {
            value.clear();
        }
    }
    if (value == kIntentionallyBlank) value.clear();
    return value;
}

std::string TokenEngine::SourceLookup(const TToken& token) const {
    for (const TokenSource& src : sources_) {
        if (src.code != token.Source || !src.table) continue;
        const MemTable& table = *src.table;
        if (table.State() == TableState::Inactive || table.IsEmpty()) continue;
        const int key = table.FieldIndex(src.keyField), val = table.FieldIndex(src.valueField);
        if (key < 0 || val < 0) continue;
        // Read in place: the table's current row and any row being edited stay as they are.
        for (int i = 0; i < table.RecordCount(); ++i) {
            const auto& row = table.RowValues(i);
            if (AsciiUpper(TokenForm(TextOf(row[static_cast<size_t>(key)]), delimiters_)) == token.Name)
                return ApplyTextFormat(TextOf(row[static_cast<size_t>(val)]), token.Format);
        }
    }
    return {};
}

int TokenEngine::MergeRichText(RichText& text, int passes) {
    if (busy_) return 0;
    BusyFlag busy(busy_);
    passes = ClampPasses(passes);
    int total = 0;
    for (int pass = 0; pass < passes; ++pass) {
        bool tooLong = false, found = false;
        const int n = MergePass(text, tooLong, found);
        total += n;
        // A pass without a replacement leaves the text as it was: the next would do the same.
        if (!found || n == 0 || tooLong) break;
    }
    return total;
}

int TokenEngine::MergePass(RichText& text, bool& tooLong, bool& found) {
    std::optional<BusyCursor> cursor;
    if (ui_) cursor.emplace(*ui_);
    int count = 0;
    try {
        std::vector<std::string> tokens;
        try {
            tokens = ScanTokens(text.PlainText("\r"), delimiters_);
        } catch (...) {
        }
        found = !tokens.empty();
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (ui_ && i % 10 == 0) ui_->ProcessMessages();
            std::string value;
            try {
                value = ResolveToken(Parse(tokens[i]));
            } catch (...) {
                value.clear();
            }
            std::string needle;
            needle.reserve(tokens[i].size() + 2);
            needle.push_back(delimiters_.open);
            needle += tokens[i];
            needle.push_back(delimiters_.close);
            const std::size_t valueLength = InsertedLength(value);
            std::size_t caret = 0;
            FindOptions ignoreCase;
            ignoreCase.matchCase = false;
            while (auto hit = text.FindText(needle, caret, ignoreCase)) {
                if (text.Length() - hit->len + valueLength > maxTextLength_) {
                    tooLong = true;
                    return count;
                }
                // The search goes on after the inserted value, so a value is never merged
                // again in this pass, whatever tokens it holds.
                caret = text.ReplaceRange(hit->pos, hit->len, value);
                ++count;
            }
        }
    } catch (...) {
        // Whatever was replaced stays replaced; the rest of the pass is given up.
    }
    return count;
}

int TokenEngine::MergeTemplate(MemTable& table, std::string_view field, RichText& target) {
    if (busy_) return 0;
    RichText copy(target.DefaultFormat());
    try {
        const int index = table.FieldIndex(std::string(field));
        if (index >= 0 && !table.IsEmpty()) {
            const std::string rtf = table.FieldAt(index).AsString();
            if (auto read = TryReadRtf(rtf, nullptr, target.DefaultFormat())) copy = std::move(*read);
        }
    } catch (...) {
    }
    target = std::move(copy);
    return MergeRichText(target, passCount_);
}

}  // namespace clx
