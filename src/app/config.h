#pragma once
// The program's configuration: working folders derived from the program file, folder macros,
// the composed names of the resource and data files, the two date formats, date texts for
// reports, the version text and the places of the two CLX.INI stores.
//
// Folder names keep their real letter case and are compared without regard to case.
#include <string>
#include <string_view>
#include <vector>

#include "platform/datetime.h"
#include "platform/ini.h"
#include "platform/locale.h"

namespace clx {

// The environment values the configuration depends on, read by the caller.
struct ConfigEnvironment {
    std::string xdgConfigHome;   // $XDG_CONFIG_HOME
    std::string home;            // $HOME
    static ConfigEnvironment FromProcess();
};

// The running program's file (from /proc/self/exe); empty when it cannot be found.
std::string RunningProgramPath();

// Cleans a folder string: bytes below 33 trimmed from both ends (and non-breaking spaces),
// doubled separators collapsed, the trailing separator removed ("/" itself is kept).
std::string CleanFolder(std::string_view folder);
// Folder names compared without regard to (ASCII) case, after cleaning.
bool SameFolder(std::string_view a, std::string_view b);

// Settings of the user-settings CLX.INI.
inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kIniLastFile = "IniLastFile";
inline constexpr std::string_view kChrDateFormat = "ChrDateFormat";
inline constexpr int kChrDateFormatDefault = -10;
inline constexpr std::string_view kIniFileName = "CLX.INI";

// The files composed at start; every name sits in one of the folders.
struct ConfigFiles {
    // resource folder
    std::string newTemplate;     // new.cxz
    std::string demo;            // demo.cxz
    std::string options;         // options.dcz
    std::string defaultOptions;  // default.dcz
    std::string links;           // lnk.dat
    std::string tips;            // tips.dat
    std::string placeLinks;      // placelnk.rtf
    std::string factoryPlaces;   // pll.dat
    std::string planRtf;         // plnrtf
    std::string faq;             // faq.pdf
    // data folder
    std::string dataNew;         // new.cxz
    std::string userPlaces;      // plu.dat
    // help folder
    std::string helpHlp;         // clx.hlp
    std::string helpChm;         // clx.chm
    std::string manual;          // manual1a.pdf
    std::string products;        // products.pdf
    // program folder (names only; no such files are read or written)
    std::string fmt;             // fmt.dat
    std::string wrd;             // wrd.dat
};

class Config {
public:
    static constexpr std::string_view kLanguage = "Eng";

    // Touches no file: call EnsureMacroFolders() at start to create missing folders.
    Config(std::string programFile, Locale locale, std::vector<std::string> paths = {},
           ConfigEnvironment env = {});

    const std::string& ProgramFile() const { return programFile_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    const std::string& RootFolder() const { return rootFolder_; }
    const std::string& ResourceFolder() const { return resourceFolder_; }  // <RSC>
    const std::string& TempFolder() const { return tempFolder_; }          // <TMP>
    const std::string& HelpFolder() const { return helpFolder_; }          // <HLP>
    const std::string& DataFolder() const { return dataFolder_; }          // <DAT>
    const ConfigFiles& Files() const { return files_; }

    // "<RSC>=folder;<TMP>=folder;<HLP>=folder;<DAT>=folder".
    const std::string& PathMacros() const { return pathMacros_; }
    // A path with ">": the first macro found (in list order, any case) becomes its folder and
    // one separator; with no known macro, everything up to and including the first ">" goes.
    // A path without ">" is returned unchanged.
    std::string ExpandPathMacros(std::string_view path) const;
    // A path that starts with a macro folder and a separator (any case) gets the macro in
    // place of that folder; the rest keeps its case. Others are returned unchanged.
    std::string ContractPathMacros(std::string_view path) const;
    // Creates the macro folders that are missing, with their parents; failures are ignored.
    void EnsureMacroFolders() const;

    // Extra data folders, as chosen by the user.
    const std::vector<std::string>& Paths() const { return paths_; }
    void SetPaths(std::vector<std::string> paths) { paths_ = std::move(paths); }
    // True when the folder is neither the resource nor the data folder nor in Paths.
    bool IsNewDataFolder(std::string_view folder) const;
    // Adds the folder of the file to Paths when it is new; true then, and the caller saves
    // the options.
    bool AddDataFolderOf(std::string_view file);
    // The resource folder, the data folder, then each extra folder, every folder once.
    std::vector<std::string> DataFolders() const;
    std::string DataFolderSearchList() const;   // the same joined by ";"

    // Dates.
    const Locale& GetLocale() const { return locale_; }
    // Takes new regional settings; the date formats follow when they come from the system.
    void SetLocale(Locale locale);
    // The locale's short date format with two-digit day and month, four-digit year, lower case.
    static std::string NormaliseShortDateFormat(std::string_view shortDateFormat);
    std::string NormaliseShortDateFormat() const;
    // 1 "mm/dd/yyyy", 2 "dd/mm/yyyy", 3 "yyyy/mm/dd", anything else the system's format.
    void SetDateFormats(int choice);
    int DateFormatChoice() const { return dateChoice_; }
    const std::string& DateEntryFormat() const { return dateEntryFormat_; }
    const std::string& DateDisplayFormat() const { return dateDisplayFormat_; }
    // Dates inside descriptions and reports; empty for a zero date.
    std::string ReportDateText(TDateTime date) const;
    std::string ReportDateTextShort(TDateTime date) const;

    // The version of the program (compiled in), e.g. "2.0.0.1". Mode 1 drops the third part
    // of a version with at least three points; mode 2 keeps major.minor; others keep it all.
    static std::string_view ProgramVersion();
    static std::string VersionText(std::string_view version, int mode);
    std::string ProgramVersionText(int mode) const { return VersionText(ProgramVersion(), mode); }
    // "V" + ProgramVersionText(1), and "CLX " + that: the short product line of the About box.
    std::string VersionLabel() const { return "V" + ProgramVersionText(1); }
    std::string ProductLine() const { return "CLX " + VersionLabel(); }

    // The component-state CLX.INI beside the program file.
    std::string ComponentStoreFile() const;
    // The user-settings CLX.INI: $XDG_CONFIG_HOME/chronolex/, else ~/.config/chronolex/;
    // empty when neither is known.
    std::string UserSettingsFile() const;

    // Whether a document path may be kept as "IniLastFile": not the template new.cxz of the
    // resource folder nor the new.cxz of the data folder.
    bool MayStoreAsLastFile(std::string_view path) const;
    std::string ReadLastFile(const IniFile& settings) const;
    // Writes "IniLastFile" when the path may be stored; true when written.
    bool WriteLastFile(IniFile& settings, std::string_view path) const;
    int ReadChrDateFormat(const IniFile& settings) const;
    void WriteChrDateFormat(IniFile& settings, int value) const;

    // The desktop's controls are always recent enough here.
    bool CheckCommonControls(bool /*ask*/) const { return false; }

private:
    struct Macro {
        std::string_view name;
        std::string folder;
    };
    std::vector<Macro> Macros() const;
    std::string FormatReportDate(TDateTime date, bool shortYear) const;

    std::string programFile_;
    std::string programFolder_, rootFolder_;
    std::string resourceFolder_, tempFolder_, helpFolder_, dataFolder_;
    std::string pathMacros_;
    ConfigFiles files_;
    std::vector<std::string> paths_;
    ConfigEnvironment env_;
    Locale locale_;
    int dateChoice_ = 0;
    std::string dateEntryFormat_, dateDisplayFormat_;
};

}  // namespace clx
