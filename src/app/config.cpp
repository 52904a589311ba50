#include "app/config.h"

#include <cstdlib>
#include <filesystem>

#include "platform/format.h"
#include "platform/text.h"

#ifndef CLX_VERSION
#define CLX_VERSION "2.0.0.1"
#endif

namespace clx {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t npos = std::string::npos;
constexpr std::string_view kNbsp = "\xC2\xA0";

std::size_t FindNoCase(std::string_view text, std::string_view what) {
    if (what.empty() || what.size() > text.size()) return npos;
    for (std::size_t i = 0; i + what.size() <= text.size(); ++i)
        if (SameTextNoCase(text.substr(i, what.size()), what)) return i;
    return npos;
}

std::string WithSeparator(std::string_view folder) {
    std::string s(folder);
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

std::string Join(std::string_view folder, std::string_view name) {
    return CleanFolder(WithSeparator(folder) + std::string(name));
}

// The letters of a date pattern that are not inside a quoted literal.
std::vector<bool> PatternLetters(std::string_view f) {
    std::vector<bool> letter(f.size(), false);
    char quote = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        char c = f[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else {
            letter[i] = true;
        }
    }
    return letter;
}

struct Run {
    std::size_t pos = npos, len = 0;
};

// The pattern letter runs of one letter (either case), in order.
std::vector<Run> Runs(std::string_view f, const std::vector<bool>& letter, char lower) {
    std::vector<Run> runs;
    for (std::size_t i = 0; i < f.size();) {
        if (letter[i] && LowerAsciiChar(f[i]) == lower) {
            std::size_t j = i;
            while (j < f.size() && letter[j] && LowerAsciiChar(f[j]) == lower) ++j;
            runs.push_back({i, j - i});
            i = j;
        } else {
            ++i;
        }
    }
    return runs;
}

// Lengthens the first run of the letter to minLen unless some run already has that length.
std::string Widen(std::string f, char lower, std::size_t minLen) {
    auto runs = Runs(f, PatternLetters(f), lower);
    if (runs.empty()) return f;
    for (const auto& r : runs)
        if (r.len >= minLen) return f;
    const Run& first = runs.front();
    f.insert(first.pos, minLen - first.len, f[first.pos]);
    return f;
}

enum class DateOrder { MDY, DMY, YMD };

DateOrder OrderOf(std::string_view f) {
    auto letter = PatternLetters(f);
    auto first = [&](char lower) {
        auto runs = Runs(f, letter, lower);
        return runs.empty() ? npos : runs.front().pos;
    };
    std::size_t d = first('d'), m = first('m'), y = first('y');
    if (y < d && y < m) return DateOrder::YMD;
    if (d < m) return DateOrder::DMY;
    return DateOrder::MDY;
}

}  // namespace

ConfigEnvironment ConfigEnvironment::FromProcess() {
    ConfigEnvironment env;
    if (const char* v = std::getenv("XDG_CONFIG_HOME")) env.xdgConfigHome = v;
    if (const char* v = std::getenv("HOME")) env.home = v;
    return env;
}

std::string RunningProgramPath() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    std::string s = p.string();
    constexpr std::string_view kDeleted = " (deleted)";
    if (s.ends_with(kDeleted)) s.resize(s.size() - kDeleted.size());
    return s;
}

std::string CleanFolder(std::string_view folder) {
    // Only whole non-breaking spaces go among the bytes above 127: the others are parts of
    // UTF-8 letters of real folder names.
    for (bool changed = true; changed;) {
        changed = false;
        while (!folder.empty() && static_cast<unsigned char>(folder.front()) < 33) {
            folder.remove_prefix(1);
            changed = true;
        }
        while (!folder.empty() && static_cast<unsigned char>(folder.back()) < 33) {
            folder.remove_suffix(1);
            changed = true;
        }
        if (folder.starts_with(kNbsp)) {
            folder.remove_prefix(kNbsp.size());
            changed = true;
        }
        if (folder.ends_with(kNbsp)) {
            folder.remove_suffix(kNbsp.size());
            changed = true;
        }
    }
    std::string out;
    out.reserve(folder.size());
    for (char c : folder)
        if (c != '/' || out.empty() || out.back() != '/') out += c;
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

bool SameFolder(std::string_view a, std::string_view b) {
    return SameTextNoCase(CleanFolder(a), CleanFolder(b));
}

Config::Config(std::string programFile, Locale locale, std::vector<std::string> paths,
               ConfigEnvironment env)
    : programFile_(std::move(programFile)),
      paths_(std::move(paths)),
      env_(std::move(env)),
      locale_(std::move(locale)) {
    std::error_code ec;
    fs::path program(programFile_);
    if (program.is_relative()) {
        fs::path abs = fs::absolute(program, ec);
        if (!ec) program = abs;
    }
    program = program.lexically_normal();

    programFolder_ = CleanFolder(program.parent_path().string());
    rootFolder_ = CleanFolder(fs::path(programFolder_).parent_path().string());
    resourceFolder_ = Join(rootFolder_, "Bin/Rsc/" + std::string(kLanguage));
    tempFolder_ = Join(rootFolder_, "Temp");
    helpFolder_ = Join(rootFolder_, "Help");
    dataFolder_ = Join(rootFolder_, "Data");

    pathMacros_.clear();
    for (const auto& m : Macros()) {
        if (!pathMacros_.empty()) pathMacros_ += ';';
        pathMacros_ += std::string(m.name) + "=" + m.folder;
    }

    const std::string& rsc = resourceFolder_;
    files_.newTemplate = Join(rsc, "new.cxz");
    files_.demo = Join(rsc, "demo.cxz");
    files_.options = Join(rsc, "options.dcz");
    files_.defaultOptions = Join(rsc, "default.dcz");
    files_.links = Join(rsc, "lnk.dat");
    files_.tips = Join(rsc, "tips.dat");
    files_.placeLinks = Join(rsc, "placelnk.rtf");
    files_.factoryPlaces = Join(rsc, "pll.dat");
    files_.planRtf = Join(rsc, "plnrtf");
    files_.faq = Join(rsc, "faq.pdf");
    files_.dataNew = Join(dataFolder_, "new.cxz");
    files_.userPlaces = Join(dataFolder_, "plu.dat");
    files_.helpHlp = Join(helpFolder_, "clx.hlp");
    files_.helpChm = Join(helpFolder_, "clx.chm");
    files_.manual = Join(helpFolder_, "manual1a.pdf");
    files_.products = Join(helpFolder_, "products.pdf");
    files_.fmt = Join(programFolder_, "fmt.dat");
    files_.wrd = Join(programFolder_, "wrd.dat");

    SetDateFormats(0);
}

std::vector<Config::Macro> Config::Macros() const {
    return {{"<RSC>", resourceFolder_},
            {"<TMP>", tempFolder_},
            {"<HLP>", helpFolder_},
            {"<DAT>", dataFolder_}};
}

std::string Config::ExpandPathMacros(std::string_view path) const {
    std::size_t close = path.find('>');
    if (close == npos) return std::string(path);
    for (const auto& m : Macros()) {
        std::size_t at = FindNoCase(path, m.name);
        if (at == npos) continue;
        std::string_view rest = path.substr(at + m.name.size());
        while (rest.starts_with('/')) rest.remove_prefix(1);
        return std::string(path.substr(0, at)) + WithSeparator(m.folder) + std::string(rest);
    }
    return std::string(path.substr(close + 1));
}

std::string Config::ContractPathMacros(std::string_view path) const {
    for (const auto& m : Macros()) {
        if (m.folder.empty()) continue;
        std::string prefix = WithSeparator(m.folder);
        if (path.size() >= prefix.size() && SameTextNoCase(path.substr(0, prefix.size()), prefix))
            return std::string(m.name) + std::string(path.substr(prefix.size()));
    }
    return std::string(path);
}

void Config::EnsureMacroFolders() const {
    for (const auto& m : Macros()) {
        if (m.folder.empty()) continue;
        std::error_code ec;
        if (!fs::exists(m.folder, ec)) fs::create_directories(m.folder, ec);
    }
}

bool Config::IsNewDataFolder(std::string_view folder) const {
    std::string f = CleanFolder(folder);
    if (f.empty()) return false;
    if (SameFolder(f, resourceFolder_) || SameFolder(f, dataFolder_)) return false;
    for (const auto& p : paths_)
        if (SameFolder(f, p)) return false;
    return true;
}

bool Config::AddDataFolderOf(std::string_view file) {
    std::string folder = CleanFolder(fs::path(std::string(CleanFolder(file))).parent_path().string());
    if (!IsNewDataFolder(folder)) return false;
    paths_.push_back(folder);
    return true;
}

std::vector<std::string> Config::DataFolders() const {
    std::vector<std::string> out{resourceFolder_, dataFolder_};
    for (const auto& p : paths_) {
        std::string f = CleanFolder(p);
        if (f.empty()) continue;
        bool seen = false;
        for (const auto& o : out) seen = seen || SameTextNoCase(o, f);
        if (!seen) out.push_back(std::move(f));
    }
    return out;
}

std::string Config::DataFolderSearchList() const {
    std::string list;
    for (const auto& f : DataFolders()) {
        if (!list.empty()) list += ';';
        list += f;
    }
    return list;
}

void Config::SetLocale(Locale locale) {
    locale_ = std::move(locale);
    SetDateFormats(dateChoice_);
}

std::string Config::NormaliseShortDateFormat(std::string_view shortDateFormat) {
    std::string f(shortDateFormat);
    f = Widen(std::move(f), 'y', 4);
    f = Widen(std::move(f), 'm', 2);
    f = Widen(std::move(f), 'd', 2);
    auto letter = PatternLetters(f);
    for (std::size_t i = 0; i < f.size(); ++i)
        if (letter[i]) f[i] = LowerAsciiChar(f[i]);
    return f;
}

std::string Config::NormaliseShortDateFormat() const {
    return NormaliseShortDateFormat(locale_.shortDateFormat);
}

void Config::SetDateFormats(int choice) {
    dateChoice_ = choice;
    switch (choice) {
        case 1: dateEntryFormat_ = "mm/dd/yyyy"; break;
        case 2: dateEntryFormat_ = "dd/mm/yyyy"; break;
        case 3: dateEntryFormat_ = "yyyy/mm/dd"; break;
        default: dateEntryFormat_ = NormaliseShortDateFormat(); break;
    }
    dateDisplayFormat_ = "ddd " + dateEntryFormat_;
}

std::string Config::FormatReportDate(TDateTime date, bool shortYear) const {
    if (date == 0) return {};
    DateOrder order;
    switch (dateChoice_) {
        case 1: order = DateOrder::MDY; break;
        case 2: order = DateOrder::DMY; break;
        case 3: order = DateOrder::YMD; break;
        default: order = OrderOf(locale_.shortDateFormat); break;
    }
    const char* y = shortYear ? "yy" : "yyyy";
    std::string pattern;
    switch (order) {
        case DateOrder::MDY: pattern = std::string("mm/dd/") + y; break;
        case DateOrder::DMY: pattern = std::string("dd/mm/") + y; break;
        case DateOrder::YMD: pattern = std::string(y) + "/mm/dd"; break;
    }
    return FormatDateTime(pattern, date, locale_);
}

std::string Config::ReportDateText(TDateTime date) const { return FormatReportDate(date, false); }

std::string Config::ReportDateTextShort(TDateTime date) const {
    return FormatReportDate(date, true);
}

std::string_view Config::ProgramVersion() { return CLX_VERSION; }

std::string Config::VersionText(std::string_view version, int mode) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        std::size_t dot = version.find('.', start);
        parts.push_back(version.substr(start, dot == npos ? npos : dot - start));
        if (dot == npos) break;
        start = dot + 1;
    }
    if (mode == 1 && parts.size() >= 4) {
        parts.erase(parts.begin() + 2);
    } else if (mode == 2 && parts.size() >= 3) {
        parts.resize(2);
    } else {
        return std::string(version);
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '.';
        out += parts[i];
    }
    return out;
}

std::string Config::ComponentStoreFile() const {
    return WithSeparator(programFolder_) + std::string(kIniFileName);
}

std::string Config::UserSettingsFile() const {
    std::string base;
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (!env_.xdgConfigHome.empty() && env_.xdgConfigHome.front() == '/')
        base = env_.xdgConfigHome;
    else if (!env_.home.empty())
        base = WithSeparator(env_.home) + ".config";
    if (base.empty()) return {};
    return WithSeparator(Join(base, "chronolex")) + std::string(kIniFileName);
}

bool Config::MayStoreAsLastFile(std::string_view path) const {
    std::string p = CleanFolder(path);
    if (p.empty()) return false;
    return !SameTextNoCase(p, files_.newTemplate) && !SameTextNoCase(p, files_.dataNew);
}

std::string Config::ReadLastFile(const IniFile& settings) const {
    return settings.ReadString(kSettingsSection, kIniLastFile, "");
}

bool Config::WriteLastFile(IniFile& settings, std::string_view path) const {
    if (!MayStoreAsLastFile(path)) return false;
    settings.WriteString(kSettingsSection, kIniLastFile, path);
    return true;
}

int Config::ReadChrDateFormat(const IniFile& settings) const {
    return settings.ReadInteger(kSettingsSection, kChrDateFormat, kChrDateFormatDefault);
}

void Config::WriteChrDateFormat(IniFile& settings, int value) const {
    settings.WriteInteger(kSettingsSection, kChrDateFormat, value);
}

}  // namespace clx
