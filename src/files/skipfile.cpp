#include "files/skipfile.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <system_error>
#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "files/codepage.h"
#include "files/fileio.h"
#include "files/sectionstream.h"
#include "platform/ui.h"

namespace clx {

namespace fs = std::filesystem;

namespace {

// The tables in file order, with the labels the sections are written under and the words
// used when a part did not load.
struct TablePart {
    SkipSectionId id;
    SkipTable table;
    const char* label;
    const char* what;
};
constexpr TablePart kTableParts[] = {
    {kSkipSingleSection, SkipTable::Single, "Add Dates", "single dates"},
    {kSkipRecurringSection, SkipTable::Recurring, "Rcr Notes", "recurring days"},
    {kSkipRangesSection, SkipTable::Ranges, "Date Formats", "ranges"},
    {kSkipInclusionsSection, SkipTable::Inclusions, "Date Formats", "inclusions"},
};

void Note(SkipReadReport& report, SectionResult r, const SectionStream& s, const char* what) {
    switch (r) {
        case SectionResult::Loaded:
        case SectionResult::Written:
            return;
        case SectionResult::End:
            report.problems.push_back(std::string(what) + ": the file ends before this part");
            return;
        case SectionResult::OtherId:
            report.problems.push_back(std::string(what) + ": a section with another id stands in its place");
            return;
        case SectionResult::Empty:
            report.problems.push_back(std::string(what) + ": the section is empty");
            return;
        case SectionResult::Damaged: {
            // LastError is "label: reason"; the labels repeat, so name the part instead.
            std::string why = s.LastError();
            auto colon = why.find(": ");
            if (colon != std::string::npos) why.erase(0, colon + 2);
            report.problems.push_back(std::string(what) + ": " + (why.empty() ? "damaged" : why));
            return;
        }
    }
}

bool HasExtension(const fs::path& p, std::string_view wanted) {
    std::string ext = p.extension().string();
    if (ext.size() != wanted.size() + 1 || ext[0] != '.') return false;
    for (size_t i = 0; i < wanted.size(); ++i) {
        char c = ext[i + 1], w = wanted[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (w >= 'A' && w <= 'Z') w = char(w - 'A' + 'a');
        if (c != w) return false;
    }
    return true;
}

std::string AsciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool NameLess(const fs::path& a, const fs::path& b) {
    std::string la = AsciiLower(a.filename().string()), lb = AsciiLower(b.filename().string());
    if (la != lb) return la < lb;
    return a.filename().string() < b.filename().string();
}

// Files and folders are told apart by what they are on disk, so that a folder reached through
// two search folders, a link or another spelling of its name is searched once.
struct DiskId {
    dev_t dev;
    ino_t ino;
    friend auto operator<=>(const DiskId&, const DiskId&) = default;
};

std::optional<DiskId> IdOf(const fs::path& p) {
    struct stat st;
    if (::stat(p.c_str(), &st) != 0) return std::nullopt;
    return DiskId{st.st_dev, st.st_ino};
}

constexpr int kMaxFolderDepth = 64;

struct Search {
    std::string_view ext;
    std::set<DiskId> folders, files;
    std::vector<std::string> found;
};

void SearchFolder(const fs::path& dir, int depth, Search& search) {
    if (depth > kMaxFolderDepth) return;
    std::optional<DiskId> id = IdOf(dir);
    if (!id || !search.folders.insert(*id).second) return;

    std::vector<fs::path> files, folders;
    std::error_code ec;
    fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    if (ec) return;
    for (fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::directory_entry& e = *it;
        std::error_code tec;
        if (e.is_symlink(tec)) {
            // A linked file is listed; a linked folder is not entered.
            if (e.is_regular_file(tec) && HasExtension(e.path(), search.ext)) files.push_back(e.path());
            continue;
        }
        if (e.is_directory(tec))
            folders.push_back(e.path());
        else if (e.is_regular_file(tec) && HasExtension(e.path(), search.ext))
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end(), NameLess);
    std::sort(folders.begin(), folders.end(), NameLess);
    for (const fs::path& f : files) {
        std::optional<DiskId> fid = IdOf(f);
        if (fid && search.files.insert(*fid).second) search.found.push_back(f.string());
    }
    for (const fs::path& d : folders) SearchFolder(d, depth + 1, search);
}

bool LoadExpanded(const std::string& path, SkipSet& set, SkipReadReport* report) {
    SkipReadReport local;
    SkipReadReport& rep = report ? *report : local;
    rep = {};
    if (!IsRegularFile(path)) {
        rep.fileError = "the file does not exist";
        return false;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes = ReadFileBytes(path);
    } catch (const std::exception& e) {
        rep.fileError = e.what();
        return false;
    }
    ClearSkipRules(set, true);
    SectionStream stream(std::move(bytes));
    rep = ReadSkipSections(stream, set);
    return true;
}

// Walks the UTF-8 text code point by code point; bytes that are not UTF-8 are kept.
template <class F>
std::string MapCodePoints(std::string_view text, F map) {
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    int32_t i = 0, n = static_cast<int32_t>(text.size());
    while (i < n) {
        int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (c < 0) {
            out.append(text.substr(start, i - start));
            continue;
        }
        c = map(c);
        uint8_t buf[U8_MAX_LENGTH];
        int32_t len = 0;
        UBool error = false;
        U8_APPEND(buf, len, U8_MAX_LENGTH, c, error);
        if (error)
            out.append(text.substr(start, i - start));
        else
            out.append(reinterpret_cast<const char*>(buf), len);
    }
    return out;
}

SkipButtonState NoFileButton() { return {std::string(kNoSkippedDates), {}}; }

}  // namespace

std::string SkipReadReport::Summary() const {
    std::string s = fileError;
    for (const std::string& p : problems) {
        if (!s.empty()) s += "; ";
        s += p;
    }
    return s;
}

void WriteSkipSections(SectionStream& stream, SkipSet& set) {
    if (stream.Mode() != SectionMode::Write) throw std::invalid_argument("WriteSkipSections needs a stream to write");
    stream.StreamSection(std::span<uint8_t>(set.header.bytes), kSkipHeaderSection, "Header");
    for (const TablePart& p : kTableParts) stream.StreamSection(set.Table(p.table), p.id, p.label);
}

SkipReadReport ReadSkipSections(SectionStream& stream, SkipSet& set) {
    if (stream.Mode() != SectionMode::Read) throw std::invalid_argument("ReadSkipSections needs a stream to read");
    SkipReadReport report;
    SectionResult r = stream.StreamSection(std::span<uint8_t>(set.header.bytes), kSkipHeaderSection, "Header");
    Note(report, r, stream, "weekdays and holidays");
    report.results.push_back(r);
    for (const TablePart& p : kTableParts) {
        r = stream.StreamSection(set.Table(p.table), p.id, p.label);
        Note(report, r, stream, p.what);
        report.results.push_back(r);
    }
    if (!stream.AtEnd()) report.problems.push_back("unexpected data after the last part");
    return report;
}

std::vector<uint8_t> SkipFileImage(SkipSet& set) {
    SectionStream stream;
    WriteSkipSections(stream, set);
    return stream.TakeImage();
}

void SaveSkipFile(const fs::path& path, SkipSet& set) {
    // Skip-date files keep no backup: the editor replaces the file outright.
    WriteFileWithBackups(path, SkipFileImage(set), {});
}

bool LoadSkipFile(std::string_view fileName, SkipSet* set, const SkipFileConfig* config, SkipReadReport* report) {
    if (!set) {
        if (report) *report = {};
        return false;
    }
    std::string path = config ? config->ExpandPathMacros(fileName) : std::string(fileName);
    return LoadExpanded(path, *set, report);
}

std::string SkipMenuCaption(std::string_view path) {
    std::string name = fs::path(std::string(path)).filename().string();
    auto point = name.find('.');
    std::string stem = point == std::string::npos ? name : name.substr(0, point);
    if (stem.empty()) stem = name;   // ".skx" alone or a hidden file: keep something to show
    std::string out;
    for (char c : stem) {
        out += c;
        if (c == '&') out += '&';
    }
    return out;
}

std::string SkipButtonCaption(std::string_view path) {
    bool upper = true;
    return MapCodePoints(SkipMenuCaption(path), [&](UChar32 c) {
        UChar32 m = upper ? u_toupper(c) : u_tolower(c);
        upper = c == ' ' || c == '\'' || c == '(' || c == '-';
        return m;
    });
}

SkipFileSelection SelectSkipFile(std::string_view fileName, SkipSet& set, SkipFileConfig& config) {
    SkipFileSelection sel;
    const std::string expanded = config.ExpandPathMacros(fileName);
    const std::string contracted = config.ContractPathMacros(expanded);
    if (!set.ref) return sel;
    SkipFileRef& ref = *set.ref;

    if (IsRegularFile(expanded)) {
        // The document keeps the name in a short single-byte string: a name that would come
        // back cut or changed could never find the file again, so it is refused outright.
        const std::string stored = Utf8ToCp1252(contracted);
        if (stored.size() > kSkipFileRefCapacity) {
            sel.outcome = SkipSelectOutcome::Refused;
            sel.error = "The name of the skip-date file is too long to be kept in the document (at most " +
                        std::to_string(kSkipFileRefCapacity) + " characters):|" + contracted;
            return sel;
        }
        if (Cp1252ToUtf8(stored) != contracted) {
            sel.outcome = SkipSelectOutcome::Refused;
            sel.error = "The name of the skip-date file has characters that cannot be kept in the document:|" +
                        contracted;
            return sel;
        }
        if (LoadExpanded(expanded, set, &sel.report)) {
            sel.optionsChanged = config.AddDataFolderOf(expanded);
            set.active = true;
            if (config.ExpandPathMacros(ref.fileName) != expanded) {
                sel.documentModified = true;
                ref.fileName = contracted;
            }
            sel.outcome = SkipSelectOutcome::Selected;
            sel.button = {SkipButtonCaption(expanded), expanded};
            return sel;
        }
        // The file is there but cannot be read: say so, and skip nothing rather than keep
        // rules that belong to another file.
        sel.error = "The skip-date file cannot be read:|" + sel.report.fileError;
    }

    sel.documentModified = !ref.fileName.empty();
    ResetSkipSet(set);
    ClearSkipRules(set, true);
    ref.fileName.clear();
    set.active = false;
    sel.outcome = SkipSelectOutcome::Cleared;
    sel.button = NoFileButton();
    return sel;
}

std::vector<std::string> FindSkipFiles(const std::vector<std::string>& folders) {
    return FindDataFiles(folders, kSkipFileExt);
}

std::vector<std::string> FindDataFiles(const std::vector<std::string>& folders, std::string_view ext) {
    Search search;
    search.ext = ext;
    for (const std::string& f : folders) {
        if (f.empty()) continue;
        std::error_code ec;
        fs::path dir = fs::path(f).lexically_normal();
        if (dir.has_relative_path() && !dir.has_filename()) dir = dir.parent_path();   // trailing "/"
        if (!fs::is_directory(dir, ec)) continue;
        SearchFolder(dir, 0, search);
    }
    return std::move(search.found);
}

std::vector<SkipMenuItem> BuildSkipFileMenu(const std::vector<std::string>& folders) {
    std::vector<SkipMenuItem> menu;
    const SkipMenuItem separator{{}, {}, kSkipMenuChoose, true};
    menu.push_back({"No Skip-Dates", {}, kSkipMenuChoose, false});
    menu.push_back(separator);
    std::vector<std::string> files = FindSkipFiles(folders);
    for (const std::string& f : files) menu.push_back({SkipMenuCaption(f), f, kSkipMenuChoose, false});
    if (!files.empty()) {
        menu.push_back(separator);
        menu.push_back({"Find Other Skip-Dates File...", {}, kSkipMenuFindOther, false});
        menu.push_back(separator);
    }
    menu.push_back({"Edit Skip-Dates File...", {}, kSkipMenuEdit, false});
    menu.push_back({"Create New Skip-Dates file...", {}, kSkipMenuCreate, false});
    return menu;
}

std::string EditSkipFile(SkipSet* set, const std::string& fileName, const SkipEditor& editor,
                         const std::string& dateEntryFormat) {
    if (!editor) return fileName;
    auto temp = CreateSkipSet(std::make_shared<SkipFileRef>(), dateEntryFormat);
    if (set) CopySkipSet(set, temp.get());
    std::optional<std::string> accepted = editor(*temp, fileName);
    if (!accepted) return fileName;
    if (set) CopySkipSet(temp.get(), set);
    return *accepted;
}

namespace {

SkipFileSelection Select(SkipFileGroup& g, const std::string& name) {
    SkipFileSelection sel = SelectSkipFile(name, g.set, g.config);
    if (!sel.error.empty()) g.ui.Error(sel.error);
    return sel;
}

std::string StoredExpanded(const SkipFileGroup& g) {
    return g.set.ref ? g.config.ExpandPathMacros(g.set.ref->fileName) : std::string();
}

}  // namespace

std::optional<SkipFileSelection> ChooseSkipMenuItem(SkipFileGroup& g, const SkipMenuItem& item) {
    if (item.separator) return std::nullopt;
    switch (item.tag) {
        case kSkipMenuChoose:
            return Select(g, item.hint);
        case kSkipMenuNoFile:
            return Select(g, {});
        case kSkipMenuFindOther: {
            FileDialogOptions opt;
            opt.filter = std::string(kFindOtherSkipFilter);
            std::optional<std::string> chosen = g.ui.OpenFileDialog(opt);
            if (!chosen) return std::nullopt;
            return Select(g, *chosen);
        }
        case kSkipMenuEdit:
            return Select(g, EditSkipFile(&g.set, StoredExpanded(g), g.editor, g.config.DateEntryFormat()));
        case kSkipMenuCreate:
            return Select(g, EditSkipFile(nullptr, StoredExpanded(g), g.editor, g.config.DateEntryFormat()));
        default:
            return std::nullopt;
    }
}

std::optional<SkipFileSelection> ClickSkipFileButton(SkipFileGroup& g) {
    const std::string current = StoredExpanded(g);
    if (!IsRegularFile(current)) {
        g.ui.Error(kEditWithoutSkipFile);
        return std::nullopt;
    }
    return Select(g, EditSkipFile(&g.set, current, g.editor, g.config.DateEntryFormat()));
}

}  // namespace clx
