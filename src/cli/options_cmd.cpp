#include "cli/options_cmd.h"

#include <fmt/format.h>

#include <filesystem>

#include "cli/choices.h"
#include "cli/commands.h"
#include "files/options.h"

namespace clx::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kFallbackDaysPerYear = 1;   // 365.25

// Stored line breaks are CR LF; the terminal wants LF.
std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::string_view SectionResultName(SectionResult r) {
    switch (r) {
        case SectionResult::Written: return "written";
        case SectionResult::Loaded: return "loaded";
        case SectionResult::End: return "missing";
        case SectionResult::OtherId: return "missing";
        case SectionResult::Empty: return "empty";
        case SectionResult::Damaged: return "damaged";
    }
    return "";
}

// An options file named on the command line must exist; it is read as it is, with no factory
// file standing in for it.
OptionsLoadReport LoadNamed(Options& options, const std::string& file, std::string_view what) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        throw UsageError(fmt::format("{}: '{}' is not an options file that exists", what, file));
    OptionsLoadReport r = LoadOptions(options, file, fs::path());
    if (!r.Loaded()) throw UsageError(fmt::format("{}: {}", what, OneLine(r.error)));
    return r;
}

// The installation's options.dcz, or its factory copy when that is missing or unreadable.
OptionsLoadReport LoadInstalled(Options& options, const Context& ctx) {
    const ConfigFiles& f = ctx.Cfg().Files();
    return LoadOptions(options, f.options, f.defaultOptions);
}

void NoteDamaged(const OptionsLoadReport& r, std::string_view command, std::ostream& err) {
    for (const std::string& e : r.sectionErrors)
        err << "clx " << command << ": note: " << e << "; that part of the options was skipped\n";
}

std::string Field(const MemTable& t, int row, const char* name) {
    const Value& v = t.RowValues(row)[static_cast<size_t>(t.FieldIndex(name))];
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    return {};
}

int64_t IntField(const MemTable& t, int row, const char* name) {
    const Value& v = t.RowValues(row)[static_cast<size_t>(t.FieldIndex(name))];
    if (const auto* n = std::get_if<int64_t>(&v)) return *n;
    return 0;
}

bool BoolField(const MemTable& t, int row, const char* name) {
    const Value& v = t.RowValues(row)[static_cast<size_t>(t.FieldIndex(name))];
    if (const auto* b = std::get_if<bool>(&v)) return *b;
    return false;
}

std::string DaysPerYearText(int type) {
    if (type == 0) return "average of the calendar years";
    if (type > 0 && type < kDaysPerYearChoiceCount) return std::string(DaysPerYearNames()[type]);
    return "not a known choice";
}

template <size_t N>
std::string ListText(const std::array<std::string_view, N>& names, int value) {
    if (value >= 0 && value < static_cast<int>(N)) return std::string(names[value]);
    return "not a known choice";
}

// ---------------------------------------------------------------------------------------------

class OptionsCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("options", "Show the options file");
        sub->require_subcommand(1);
        show_ = sub->add_subcommand("show", "Print the choices, tables and data folders of an options file");
        show_->add_option("FILE", file_, "Options file (default: the installation's options.dcz)")
            ->type_name("FILE.dcz");
        show_->add_flag("--json", json_, "Print one JSON object");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        Options o;
        OptionsLoadReport r = file_.empty() ? LoadInstalled(o, ctx) : LoadNamed(o, file_, "FILE");
        if (!r.Loaded()) throw Failure(OneLine(r.error));
        NoteDamaged(r, "options", err);
        if (json_)
            WriteJson(out, ToJson(o, r));
        else
            WriteText(o, r, out);
        return 0;
    }

private:
    static Json ToJson(Options& o, const OptionsLoadReport& r) {
        Json j;
        j["file"] = r.file.string();
        j["factory_used"] = r.usedFactory;
        j["formats_from_factory"] = r.formatsFromFactory;
        Json sections = Json::object();
        for (size_t i = 0; i < r.sections.size() && i < kOptionsSections.size(); ++i)
            sections[std::string(kOptionsSections[i].label)] = SectionResultName(r.sections[i]);
        j["sections"] = std::move(sections);

        const OptionsHeader& h = o.header;
        Json header;
        header["days_per_year_type"] = h.daysPerYearType;
        header["days_per_year"] = DaysPerYearText(h.daysPerYearType);
        header["date_entry_format"] = h.dateEntryFormat;
        header["date_entry_format_name"] = ListText(DateEntryFormatNames(), h.dateEntryFormat);
        header["first_day_of_week"] = h.firstDayOfWeek;
        header["first_day_of_week_name"] = ListText(FirstDayOfWeekNames(), h.firstDayOfWeek);
        header["show_tips"] = h.ShowTips();
        header["next_tip"] = h.nextTip;
        j["header"] = std::move(header);

        Json quick = Json::array();
        for (int i = 0; i < o.taDaa.RecordCount(); ++i)
            quick.push_back({{"caption", Field(o.taDaa, i, "MenuCaption")},
                             {"days", IntField(o.taDaa, i, "Days")},
                             {"months", IntField(o.taDaa, i, "Months")},
                             {"years", IntField(o.taDaa, i, "Years")},
                             {"sort", IntField(o.taDaa, i, "Sort")}});
        j["quick_add"] = std::move(quick);

        Json notes = Json::array();
        for (int i = 0; i < o.taAno.RecordCount(); ++i) notes.push_back(Field(o.taAno, i, "Format"));
        j["notes"] = std::move(notes);

        Json formats = Json::array();
        int64_t id = 0;
        for (int i = 0; i < o.taFmt.RecordCount(); ++i)
            formats.push_back({{"id", ++id}, {"format", Field(o.taFmt, i, "Format")},
                               {"approx", BoolField(o.taFmt, i, "Approx")}});
        j["date_formats"] = std::move(formats);

        Json reports = Json::array();
        for (int i = 0; i < o.taRpt.RecordCount(); ++i) {
            const MemTable& t = o.taRpt;
            reports.push_back({{"ukey", IntField(t, i, "Ukey")},
                               {"menu", Field(t, i, "Menu")},
                               {"internal_name", Field(t, i, "InternalName")},
                               {"image_index", IntField(t, i, "ImageIndex")},
                               {"hide", BoolField(t, i, "Hide")},
                               {"disabled", BoolField(t, i, "Disabled")},
                               {"landscape", BoolField(t, i, "Landscape")},
                               {"use_header", BoolField(t, i, "UseHeader")},
                               {"force_disclaimer", BoolField(t, i, "ForceDisclaimer")},
                               {"sequence", Field(t, i, "Sequence")},
                               {"body_rtf", Field(t, i, "Body")}});
        }
        j["report_formats"] = std::move(reports);

        Json words = Json::array();
        for (int i = 0; i < o.taWrd.RecordCount(); ++i)
            words.push_back({{"token", Field(o.taWrd, i, "Token")},
                             {"menu", Field(o.taWrd, i, "Menu")},
                             {"value", Field(o.taWrd, i, "Value")}});
        j["words"] = std::move(words);
        j["paths"] = o.paths;
        return j;
    }

    static void WriteText(Options& o, const OptionsLoadReport& r, std::ostream& out) {
        const OptionsHeader& h = o.header;
        out << fmt::format("Options file:   {}{}\n", r.file.string(), r.usedFactory ? " (factory options)" : "");
        out << fmt::format("Days per year:  {} ({})\n", DaysPerYearText(h.daysPerYearType), h.daysPerYearType);
        out << fmt::format("Date entry:     {} ({})\n", ListText(DateEntryFormatNames(), h.dateEntryFormat),
                           h.dateEntryFormat);
        out << fmt::format("First weekday:  {} ({})\n", ListText(FirstDayOfWeekNames(), h.firstDayOfWeek),
                           h.firstDayOfWeek);
        out << fmt::format("Show tips:      {}\n", h.ShowTips() ? "yes" : "no");
        out << fmt::format("Next tip:       {}\n", h.nextTip);

        out << fmt::format("\nQuick-add menu ({}):\n", o.taDaa.RecordCount());
        for (int i = 0; i < o.taDaa.RecordCount(); ++i)
            out << fmt::format("  {:<16} {} days, {} months, {} years (sort {})\n", Field(o.taDaa, i, "MenuCaption"),
                               IntField(o.taDaa, i, "Days"), IntField(o.taDaa, i, "Months"),
                               IntField(o.taDaa, i, "Years"), IntField(o.taDaa, i, "Sort"));

        out << fmt::format("\nStock notes ({}):\n", o.taAno.RecordCount());
        for (int i = 0; i < o.taAno.RecordCount(); ++i) out << "  " << Field(o.taAno, i, "Format") << '\n';

        out << fmt::format("\nDate formats ({}):\n", o.taFmt.RecordCount());
        for (int i = 0; i < o.taFmt.RecordCount(); ++i)
            out << fmt::format("  {:>2}  {}{}\n", i + 1, Field(o.taFmt, i, "Format"),
                               BoolField(o.taFmt, i, "Approx") ? "  (approximate)" : "");

        out << fmt::format("\nReport formats ({}):\n", o.taRpt.RecordCount());
        for (int i = 0; i < o.taRpt.RecordCount(); ++i) {
            std::string flags;
            for (auto [field, name] : {std::pair{"Hide", "hidden"}, {"Disabled", "disabled"}, {"Landscape", "landscape"}})
                if (BoolField(o.taRpt, i, field)) flags += std::string(", ") + name;
            out << fmt::format("  {:>2}  {} ({}){}\n", IntField(o.taRpt, i, "Ukey"), Field(o.taRpt, i, "Menu"),
                               Field(o.taRpt, i, "InternalName"), flags);
        }

        out << fmt::format("\nWords ({}):\n", o.taWrd.RecordCount());
        for (int i = 0; i < o.taWrd.RecordCount(); ++i) {
            out << "  " << Field(o.taWrd, i, "Token");
            std::string menu = Field(o.taWrd, i, "Menu");
            if (!menu.empty() && menu != Field(o.taWrd, i, "Token")) out << " - " << menu;
            out << '\n';
            std::string value = TerminalText(Field(o.taWrd, i, "Value"));
            size_t start = 0;
            while (start <= value.size()) {
                size_t end = value.find('\n', start);
                if (end == std::string::npos) end = value.size();
                std::string_view line(value.data() + start, end - start);
                out << (line.empty() ? "" : "      ") << line << '\n';
                start = end + 1;
            }
        }

        out << fmt::format("\nData folders ({}):\n", o.paths.size());
        for (const std::string& p : o.paths) out << "  " << p << '\n';
    }

    CLI::App* show_ = nullptr;
    std::string file_;
    bool json_ = false;
};

class WordCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("word", "Print the text of a word token of the options");
        sub->add_option("TOKEN", token_, "Word token, for example BADGREG")->required();
        sub->add_option("--options", file_, "Options file (default: the installation's options.dcz)")
            ->type_name("FILE");
        sub->add_flag("--json", json_, "Print one JSON object");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        Options o;
        OptionsLoadReport r = file_.empty() ? LoadInstalled(o, ctx) : LoadNamed(o, file_, "--options");
        if (!r.Loaded()) throw Failure(OneLine(r.error));
        NoteDamaged(r, "word", err);
        std::optional<std::string> text = o.FindWord(token_);
        if (!text) throw UsageError(fmt::format("unknown word token '{}'", token_));
        if (json_) {
            Json j;
            j["token"] = token_;
            j["value"] = *text;
            WriteJson(out, j);
        } else {
            out << TerminalText(*text) << '\n';
        }
        return 0;
    }

private:
    std::string token_, file_;
    bool json_ = false;
};

}  // namespace

void AddDaysPerYearOption(CLI::App& sub, DaysPerYearOption& option) {
    option.command = sub.get_name();
    sub.add_option("--days-per-year", option.value,
                   "Days per year for years: " + ChoiceNames(DaysPerYearChoices()) +
                       ", or 0-4 (default: the options' choice, else 365.25)")
        ->type_name("T");
    sub.add_option("--options", option.optionsFile,
                   "Options file whose days per year is the default (default: the installation's options.dcz)")
        ->type_name("FILE");
}

int ResolveDaysPerYear(const DaysPerYearOption& option, const Context& ctx, std::ostream& err) {
    if (!option.value.empty()) return ReadChoice(option.value, DaysPerYearChoices(), "days per year");
    Options o;
    if (!option.optionsFile.empty()) {
        OptionsLoadReport r = LoadNamed(o, option.optionsFile, "--options");
        if (!r.HeaderLoaded())
            throw UsageError(fmt::format("--options: '{}' has no readable header", option.optionsFile));
        if (auto type = o.DaysPerYearType()) return *type;
        throw UsageError(fmt::format("--options: '{}' holds no days-per-year choice (its value is {})",
                                     option.optionsFile, int{o.header.daysPerYearType}));
    }
    OptionsLoadReport r = LoadInstalled(o, ctx);
    std::string why;
    if (!r.Loaded())
        why = OneLine(r.error);
    else if (!r.HeaderLoaded())
        why = fmt::format("{} has no readable header", r.file.string());
    else if (!o.DaysPerYearType())
        why = fmt::format("{} holds the unknown days-per-year choice {}", r.file.string(), int{o.header.daysPerYearType});
    else
        return *o.DaysPerYearType();
    err << "clx " << option.command << ": note: " << why << "; counting 365.25 days per year\n";
    return kFallbackDaysPerYear;
}

std::vector<std::unique_ptr<Command>> MakeOptionsCommands() {
    std::vector<std::unique_ptr<Command>> v;
    v.push_back(std::make_unique<OptionsCommand>());
    v.push_back(std::make_unique<WordCommand>());
    return v;
}

}  // namespace clx::cli
