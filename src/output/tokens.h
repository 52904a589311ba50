#pragma once
// The token engine: merge tokens such as "%SYSDATE%", "%PlnName%" or "%WrdFirm/U%" in rich
// text replaced by their values. A token is the text between an open and a close delimiter:
// source (up to three characters: "SYS", "Pln", "Alt", "Wrd"), name, then "/format" and
// "|alternative" in either order.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/datetime.h"
#include "platform/locale.h"
#include "platform/richtext.h"

namespace clx {

class MemTable;
class UiServices;
class TokenEngine;

inline constexpr std::size_t kMaxTokenChars = 255;   // longer token texts are cut by the scan
inline constexpr std::string_view kIntentionallyBlank = "...Result is Intentionally Blank...";
inline constexpr std::string_view kMemoMarker = "(memo)";

struct TokenDelimiters {
    char open = '%';
    char close = '%';
};

// A parsed token.
struct TToken {
    std::string Text;        // token text without "(memo)", untrimmed, case kept
    std::string Key;         // the whole token, trimmed, upper case
    std::string Format;      // after "/", upper case
    std::string Alternate;   // after "|", case kept (carried, never used as a value)
    std::string Source;      // up to three characters, upper case
    std::string Name;        // trimmed, upper case
    const TokenEngine* Engine = nullptr;
    bool IsMemo = false;
};

// Removes control characters, blanks and invisible spaces (no-break space, zero-width space,
// byte order mark) from both ends. Letters are never removed, also accented ones.
std::string TokenTrim(std::string_view text);
// Letters a-z only: names and sources compare without regard to ASCII case.
std::string AsciiUpper(std::string_view text);
// The name with blanks, "%", "/", "|" and both delimiters replaced by "_": the form in which
// stored names are compared with token names.
std::string TokenForm(std::string_view name, TokenDelimiters delimiters = {});

// The token texts of a text in order of first appearance, each once (ASCII case ignored, the
// first spelling kept). Delimiters pair up in order; an unclosed one yields nothing. A token
// text keeps its first kMaxTokenChars characters.
std::vector<std::string> ScanTokens(std::string_view text, TokenDelimiters delimiters = {});
// Splits a token text (with or without its delimiters) into its parts.
TToken ParseToken(std::string_view tokenText, TokenDelimiters delimiters = {});

// Format flags of a looked-up value: "U" upper, "L" lower (letters a-z), "M" NameCase,
// "C" first letter upper; anything else leaves the text as stored. The flag is compared as
// given (ParseToken upper-cases it).
std::string ApplyTextFormat(std::string_view text, std::string_view format);
// "o'brien-smith (jnr)" -> "O'Brien-Smith (Jnr)", "mcdonald" -> "McDonald"; the text is cut to
// 255 characters.
std::string NameCase(std::string_view text);
// The date in the locale's short date order and separators with a four-digit year; empty for
// the zero date.
std::string SystemDateText(TDateTime date, const Locale& locale);
// Each "%s" takes the next argument (an empty text once they run out); "%%" writes "%";
// any other "%" is copied.
std::string FormatWithArguments(std::string_view pattern, const std::vector<std::string>& args);
// Local date and time now.
TDateTime CurrentDateTime();

// The layout of a token table: Token string 64, Value memo, Question string 255.
void DefineTokenTable(MemTable& table);
inline constexpr int kTokenNameSize = 64;

// Gives values for tokens by their parsed parts; an empty answer means "not known here".
class TokenProvider {
public:
    virtual ~TokenProvider() = default;
    virtual std::string TokenValue(const TToken& token) = 0;
};

// A table whose rows give values: rows are compared by TokenForm of keyField, upper case,
// against the token's Name.
struct TokenSource {
    std::string code;    // upper case
    std::string keyField = "Token";
    std::string valueField = "Value";
    MemTable* table = nullptr;
};

class TokenEngine {
public:
    // The locale writes the system tokens' dates. ui (optional) gets the busy cursor and a
    // chance to run pending events during long merges.
    explicit TokenEngine(Locale locale, TokenProvider* provider = nullptr, UiServices* ui = nullptr);
    virtual ~TokenEngine() = default;
    TokenEngine(const TokenEngine&) = delete;
    TokenEngine& operator=(const TokenEngine&) = delete;

    void SetDelimiters(char open, char close) { delimiters_ = {open, close}; }
    TokenDelimiters Delimiters() const { return delimiters_; }
    void SetProvider(TokenProvider* provider) { provider_ = provider; }
    TokenProvider* Provider() const { return provider_; }
    void SetUi(UiServices* ui) { ui_ = ui; }
    const Locale& GetLocale() const { return locale_; }
    // The clock of "SYSDATE" and "SYSDATETIME" (CurrentDateTime unless replaced).
    void SetClock(std::function<TDateTime()> clock) { clock_ = std::move(clock); }

    // Sources are searched in the order of registration; the code is compared upper case.
    void RegisterSource(std::string code, MemTable& table, std::string keyField = "Token",
                        std::string valueField = "Value");
    const std::vector<TokenSource>& Sources() const { return sources_; }

    // Passes of MergeTemplate (1 unless changed); kept within 1..10.
    int PassCount() const { return passCount_; }
    void SetPassCount(int passes) { passCount_ = ClampPasses(passes); }
    // A merge stops replacing before the text would grow beyond this many characters, so
    // values that bring their own tokens cannot blow up a many-pass merge.
    std::size_t MaxTextLength() const { return maxTextLength_; }
    void SetMaxTextLength(std::size_t chars) { maxTextLength_ = chars; }
    static constexpr std::size_t kDefaultMaxTextLength = std::size_t{16} << 20;

    bool Busy() const { return busy_; }

    // ParseToken with this engine's delimiters; Engine is set.
    TToken Parse(std::string_view tokenText) const;
    // System token, then the provider, then the sources; "...Result is Intentionally
    // Blank..." and anything that fails give empty text.
    std::string ResolveToken(const TToken& token) const;
    std::string SourceLookup(const TToken& token) const;

    // Replaces every token of the text by its value, each in the character format of the
    // token it replaces; returns the number of replacements. passes is kept within 1..10;
    // passes stop early when one finds nothing to replace. A value is never searched again in
    // the pass that inserted it. Returns 0 at once while this engine is already merging.
    int MergeRichText(RichText& text, int passes);
    // Replaces target by the rich text (RTF) stored in the field of the table's current row and
    // merges it with PassCount() passes. A missing row or field, or data that is not rich text,
    // gives an empty target.
    int MergeTemplate(MemTable& table, std::string_view field, RichText& target);

private:
    static int ClampPasses(int passes) { return passes < 1 ? 1 : passes > 10 ? 10 : passes; }
    std::string SystemToken(const TToken& token) const;
    int MergePass(RichText& text, bool& grewTooLong, bool& foundTokens);

    Locale locale_;
    TokenProvider* provider_;
    UiServices* ui_;
    std::function<TDateTime()> clock_;
    TokenDelimiters delimiters_;
    std::vector<TokenSource> sources_;
    int passCount_ = 1;
    std::size_t maxTextLength_ = kDefaultMaxTextLength;
    bool busy_ = false;
};

// ---------------------------------------------------------------------------------------------
// Title engines: report titles and the printed Notes, with the main window's values.

// What the main window knows for the title tokens; the sheets implement it.
struct SkipFileState {
    bool inUse = false;      // the rule set is in use
    std::string path;        // full path of its skip-date file (folder macros expanded)
};

class TitleValues {
public:
    virtual ~TitleValues() = default;
    virtual std::string CalcMethod() const = 0;             // the Interval sheet's selected method item
    virtual SkipFileState CalculatorSkipFile() const = 0;
    virtual SkipFileState PlanSkipFile() const = 0;
    virtual TDateTime Today() const = 0;
    virtual TDateTime AsAtDate() const = 0;                 // the Chronology sheet's "as at" date
    virtual std::string PlanName() const = 0;               // the selected master plan's Name
    virtual std::string ReportDateText(TDateTime date) const = 0;
    virtual std::string ReportDateTextShort(TDateTime date) const = 0;
};

// The main window's provider: compares the token's Text exactly ("CalcMethod", "SkipInfo",
// "SkipFile", "PlanSkipInfo", "PlanSkipFile", "d", "dd", "@", "@@", "PlnName").
class TitleTokenProvider : public TokenProvider {
public:
    explicit TitleTokenProvider(const TitleValues& values) : values_(values) {}
    std::string TokenValue(const TToken& token) override;

private:
    const TitleValues& values_;
};

// A title merge: result becomes a copy of title merged once by a fresh engine with "%" as
// both delimiters and the given provider. Returns the number of replacements.
int TitleMerge(const RichText& title, RichText& result, TokenProvider* provider,
               const Locale& locale, UiServices* ui = nullptr,
               std::function<TDateTime()> clock = {});

// ---------------------------------------------------------------------------------------------
// The data module's engine: plan values ("Pln"), merge field values ("Alt") and the word
// table ("Wrd") of the options file.

class DataTokenEngine : public TokenEngine {
public:
    // The word table is the options' taWrd (SetupWordTable), owned by the caller, so a
    // reload of the options is seen at once; the engine reads its Token and Value fields.
    DataTokenEngine(MemTable& wordTable, Locale locale, UiServices* ui = nullptr);
    ~DataTokenEngine() override;

    MemTable& PlanTokens() { return *plan_; }
    MemTable& AltTokens() { return *alt_; }
    MemTable& WordTable() { return words_; }

    // Sets the row of the upper-case name (cut to the Token field's 64 characters), appending
    // it when missing.
    void SetPlanToken(std::string_view name, std::string_view value);
    void SetAltToken(std::string_view name, std::string_view value);
    // Empties the "Pln" and "Alt" tables.
    void ClearTokenValues();

    // The word token's value, or empty text. The stored Token is compared with the upper-case
    // name exactly.
    std::string WordText(std::string_view name);
    // The word token's value with each "%s" replaced by the next argument; empty text for a
    // missing word token.
    std::string WordFormat(std::string_view name, const std::vector<std::string>& args);

    // The custom text report: runs prepare (when given), loads the merge fields (fields Name
    // and Value; when the table has rows) as "Alt" tokens by their token form, merges the
    // template into result and empties "Alt" again, also when something fails.
    int CustomTextMerge(const std::function<void(DataTokenEngine&)>& prepare, MemTable* mergeFields,
                        MemTable& templateTable, std::string_view templateField, RichText& result);

private:
    void SetToken(MemTable& table, std::string_view name, std::string_view value);

    MemTable& words_;
    std::unique_ptr<MemTable> plan_, alt_;
};

}  // namespace clx
