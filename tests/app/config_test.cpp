#include "app/config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace clx;
namespace fs = std::filesystem;

namespace {

Locale WithShortDate(std::string format, char separator = '/') {
    Locale loc;
    loc.shortDateFormat = std::move(format);
    loc.dateSeparator = separator;
    return loc;
}

Config AppsCal(std::vector<std::string> paths = {}) {
    return Config("/apps/Cal/Bin/prog", WithShortDate("M/d/yy"), std::move(paths));
}

}  // namespace

TEST(ConfigFolders, DerivedFromTheProgramFileKeepingTheirCase) {
    for (const char* program : {"/apps/Cal/Bin/prog", "/apps//Cal/Bin/../Bin/prog"}) {
        SCOPED_TRACE(program);
        Config c(program, Locale::Default());
        EXPECT_EQ(c.ProgramFolder(), "/apps/Cal/Bin");
        EXPECT_EQ(c.RootFolder(), "/apps/Cal");
        EXPECT_EQ(c.ResourceFolder(), "/apps/Cal/Bin/Rsc/Eng");
        EXPECT_EQ(c.TempFolder(), "/apps/Cal/Temp");
        EXPECT_EQ(c.HelpFolder(), "/apps/Cal/Help");
        EXPECT_EQ(c.DataFolder(), "/apps/Cal/Data");
        EXPECT_EQ(c.PathMacros(),
                  "<RSC>=/apps/Cal/Bin/Rsc/Eng;<TMP>=/apps/Cal/Temp;<HLP>=/apps/Cal/Help;"
                  "<DAT>=/apps/Cal/Data");
        EXPECT_EQ(c.Files().newTemplate, "/apps/Cal/Bin/Rsc/Eng/new.cxz");
        EXPECT_EQ(c.Files().planRtf, "/apps/Cal/Bin/Rsc/Eng/plnrtf");
        EXPECT_EQ(c.Files().dataNew, "/apps/Cal/Data/new.cxz");
        EXPECT_EQ(c.Files().userPlaces, "/apps/Cal/Data/plu.dat");
        EXPECT_EQ(c.Files().helpChm, "/apps/Cal/Help/clx.chm");
        EXPECT_EQ(c.Files().wrd, "/apps/Cal/Bin/wrd.dat");
        EXPECT_EQ(c.ComponentStoreFile(), "/apps/Cal/Bin/CLX.INI");
    }
    // A program in a top-level folder still gets single separators.
    Config top("/Bin/prog", Locale::Default());
    EXPECT_EQ(top.RootFolder(), "/");
    EXPECT_EQ(top.TempFolder(), "/Temp");
    EXPECT_EQ(top.ResourceFolder(), "/Bin/Rsc/Eng");
}

TEST(ConfigFolders, CleaningTrimsBlanksAndSeparatorsButKeepsLetters) {
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"  /a//b/ \t", "/a/b"},
        {"/", "/"},
        {"///", "/"},
        {"\xC2\xA0/a/\xC2\xA0", "/a"},          // non-breaking spaces around
        {"/data/caf\xC3\xA9", "/data/caf\xC3\xA9"},  // a UTF-8 letter at the end stays
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(CleanFolder(c.in), c.out) << c.in;
}

TEST(ConfigMacros, ContractAndExpandRoundTripRealPaths) {
    Config c = AppsCal();
    struct Case { const char* path; const char* stored; const char* expanded; };
    const Case cases[] = {
        {"/apps/Cal/Temp/interval.csv", "<TMP>interval.csv", "/apps/Cal/Temp/interval.csv"},
        {"/APPS/cal/temp/x.csv", "<TMP>x.csv", "/apps/Cal/Temp/x.csv"},
        {"/apps/Cal/Bin/Rsc/Eng/New.cxz", "<RSC>New.cxz", "/apps/Cal/Bin/Rsc/Eng/New.cxz"},
        {"/apps/Cal/Data/Sub/My File.skx", "<DAT>Sub/My File.skx", "/apps/Cal/Data/Sub/My File.skx"},
        {"/apps/Cal/Help/faq.pdf", "<HLP>faq.pdf", "/apps/Cal/Help/faq.pdf"},
        // Not inside a macro folder: unchanged both ways.
        {"/other/Report.CSV", "/other/Report.CSV", "/other/Report.CSV"},
        {"/apps/Cal/TempX/a.csv", "/apps/Cal/TempX/a.csv", "/apps/Cal/TempX/a.csv"},
        {"/backup/apps/Cal/Temp/a.csv", "/backup/apps/Cal/Temp/a.csv", "/backup/apps/Cal/Temp/a.csv"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.path);
        EXPECT_EQ(c.ContractPathMacros(k.path), k.stored);
        EXPECT_EQ(c.ExpandPathMacros(k.stored), k.expanded);
    }
}

TEST(ConfigMacros, ExpandHandlesStoredFormsFromAnywhere) {
    Config c = AppsCal();
    struct Case { const char* stored; const char* expanded; };
    const Case cases[] = {
        {"<XYZ>A.CSV", "A.CSV"},                                   // unknown macro dropped
        {"<tmp>INTERVAL.CSV", "/apps/Cal/Temp/INTERVAL.CSV"},       // as older documents hold it
        {"<DAT>/Plans/a.cpz", "/apps/Cal/Data/Plans/a.cpz"},        // one separator only
        {"<RSC><TMP>a", "/apps/Cal/Bin/Rsc/Eng/<TMP>a"},            // first in list order wins
        {"x>y.csv", "y.csv"},
        {"relative/Name.csv", "relative/Name.csv"},
    };
    for (const auto& k : cases) EXPECT_EQ(c.ExpandPathMacros(k.stored), k.expanded) << k.stored;
}

TEST(ConfigDataFolders, NewFolderTestIgnoresCaseAndTrailingSeparators) {
    Config c = AppsCal({"/home/u/Docs"});
    EXPECT_FALSE(c.IsNewDataFolder("/APPS/CAL/DATA/"));
    EXPECT_FALSE(c.IsNewDataFolder(" /apps/Cal/Bin/Rsc/Eng//"));
    EXPECT_FALSE(c.IsNewDataFolder("/HOME/u/docs/"));
    EXPECT_FALSE(c.IsNewDataFolder("  "));
    EXPECT_TRUE(c.IsNewDataFolder("/home/u/Plans"));

    EXPECT_TRUE(c.AddDataFolderOf("/home/u/Plans/Lease.cpz"));
    EXPECT_FALSE(c.AddDataFolderOf("/home/u/plans/Other.cpz"));
    EXPECT_FALSE(c.AddDataFolderOf("/apps/Cal/Data/a.skx"));
    EXPECT_EQ(c.Paths(), (std::vector<std::string>{"/home/u/Docs", "/home/u/Plans"}));
}

TEST(ConfigDataFolders, SearchListHoldsEachFolderOnce) {
    Config c = AppsCal({"/APPS/CAL/DATA", "/home/u/Docs/", "/home/U/docs", " ", "/apps/Cal/Bin/Rsc/Eng",
                        "/srv/Shared"});
    EXPECT_EQ(c.DataFolderSearchList(),
              "/apps/Cal/Bin/Rsc/Eng;/apps/Cal/Data;/home/u/Docs;/srv/Shared");
    EXPECT_EQ(c.DataFolders().size(), 4u);
    EXPECT_EQ(AppsCal().DataFolderSearchList(), "/apps/Cal/Bin/Rsc/Eng;/apps/Cal/Data");
}

TEST(ConfigDates, ShortDateFormatIsNormalised) {
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"M/d/yy", "mm/dd/yyyy"},    {"d/M/yy", "dd/mm/yyyy"},   {"M/d/yyyy", "mm/dd/yyyy"},
        {"dd.MM.y", "dd.mm.yyyy"},   {"y-MM-dd", "yyyy-mm-dd"},  {"yyyy/MM/dd", "yyyy/mm/dd"},
        {"d MMM y", "dd mmm yyyy"},  {"dd/MM/yyyy", "dd/mm/yyyy"},
        {"d 'de' MMMM 'De' y", "dd 'de' mmmm 'De' yyyy"},  // quoted text is left alone
    };
    for (const auto& c : cases) EXPECT_EQ(Config::NormaliseShortDateFormat(c.in), c.out) << c.in;
}

TEST(ConfigDates, EntryAndDisplayFormatsFollowTheChoice) {
    Config c = AppsCal();
    EXPECT_EQ(c.DateEntryFormat(), "mm/dd/yyyy");
    EXPECT_EQ(c.DateDisplayFormat(), "ddd mm/dd/yyyy");

    struct Case { int choice; const char* entry; };
    const Case cases[] = {{1, "mm/dd/yyyy"}, {2, "dd/mm/yyyy"}, {3, "yyyy/mm/dd"},
                          {0, "mm/dd/yyyy"}, {9, "mm/dd/yyyy"}};
    for (const auto& k : cases) {
        c.SetDateFormats(k.choice);
        EXPECT_EQ(c.DateEntryFormat(), k.entry) << k.choice;
        EXPECT_EQ(c.DateDisplayFormat(), std::string("ddd ") + k.entry) << k.choice;
    }

    c.SetDateFormats(0);
    c.SetLocale(WithShortDate("dd.MM.y", '.'));
    EXPECT_EQ(c.DateEntryFormat(), "dd.mm.yyyy");
    c.SetDateFormats(1);
    c.SetLocale(WithShortDate("y-MM-dd", '-'));
    EXPECT_EQ(c.DateEntryFormat(), "mm/dd/yyyy");   // a fixed choice ignores the locale
}

TEST(ConfigDates, ReportDateTexts) {
    const TDateTime d = EncodeDate(2024, 3, 5);
    struct Case { const char* shortFormat; char sep; int choice; const char* full; const char* brief; };
    const Case cases[] = {
        {"M/d/yy", '/', 0, "03/05/2024", "03/05/24"},
        {"d/M/yy", '/', 0, "05/03/2024", "05/03/24"},
        {"dd.MM.y", '.', 0, "05.03.2024", "05.03.24"},
        {"y-MM-dd", '-', 0, "2024-03-05", "24-03-05"},
        {"d/M/yy", '/', 1, "03/05/2024", "03/05/24"},
        {"M/d/yy", '/', 2, "05/03/2024", "05/03/24"},
        {"M/d/yy", '/', 3, "2024/03/05", "24/03/05"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k.shortFormat << " choice " << k.choice);
        Config c("/apps/Cal/Bin/prog", WithShortDate(k.shortFormat, k.sep));
        c.SetDateFormats(k.choice);
        EXPECT_EQ(c.ReportDateText(d), k.full);
        EXPECT_EQ(c.ReportDateTextShort(d), k.brief);
        EXPECT_EQ(c.ReportDateText(0), "");
        EXPECT_EQ(c.ReportDateTextShort(0), "");
    }
}

TEST(ConfigVersion, Texts) {
    struct Case { const char* version; int mode; const char* text; };
    const Case cases[] = {
        {"2.0.0.23", 1, "2.0.23"}, {"2.0.23", 1, "2.0.23"}, {"2.0", 1, "2.0"},
        {"2.0.0.23", 2, "2.0"},    {"2.0.23", 2, "2.0"},    {"2.0", 2, "2.0"},  {"2", 2, "2"},
        {"2.0.0.23", 0, "2.0.0.23"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(Config::VersionText(k.version, k.mode), k.text) << k.version << " mode " << k.mode;

    Config c = AppsCal();
    EXPECT_EQ(Config::ProgramVersion(), "2.0.0.1");
    EXPECT_EQ(c.VersionLabel(), "V2.0.1");
    EXPECT_EQ(c.ProductLine(), "CLX V2.0.1");
    EXPECT_EQ(c.ProgramVersionText(2), "2.0");
}

TEST(ConfigSettings, UserSettingsFileFollowsTheEnvironmentGiven) {
    struct Case { const char* xdg; const char* home; const char* file; };
    const Case cases[] = {
        {"/x/cfg/", "/home/u", "/x/cfg/chronolex/CLX.INI"},
        {"", "/home/u", "/home/u/.config/chronolex/CLX.INI"},
        {"relative", "/home/u/", "/home/u/.config/chronolex/CLX.INI"},  // invalid, ignored
        {"", "", ""},
    };
    for (const auto& k : cases) {
        Config c("/apps/Cal/Bin/prog", Locale::Default(), {}, ConfigEnvironment{k.xdg, k.home});
        EXPECT_EQ(c.UserSettingsFile(), k.file) << k.xdg << " " << k.home;
    }
}

TEST(ConfigSettings, LastFileSkipsBothTemplatesAndChrDateFormatDefaults) {
    Config c = AppsCal();
    IniFile settings("");
    EXPECT_EQ(c.ReadChrDateFormat(settings), -10);
    EXPECT_EQ(c.ReadLastFile(settings), "");

    EXPECT_FALSE(c.WriteLastFile(settings, "/apps/Cal/Bin/Rsc/Eng/new.cxz"));
    EXPECT_FALSE(c.WriteLastFile(settings, "/APPS/CAL/DATA/NEW.CXZ"));
    EXPECT_FALSE(c.WriteLastFile(settings, ""));
    EXPECT_FALSE(settings.Modified());
    EXPECT_TRUE(c.MayStoreAsLastFile("/apps/Cal/Data/Sub/new.cxz"));

    EXPECT_TRUE(c.WriteLastFile(settings, "/home/u/Lease Case.cxz"));
    EXPECT_EQ(settings.ReadString("Settings", "IniLastFile"), "/home/u/Lease Case.cxz");
    EXPECT_EQ(c.ReadLastFile(settings), "/home/u/Lease Case.cxz");
    c.WriteChrDateFormat(settings, 4);
    EXPECT_EQ(c.ReadChrDateFormat(settings), 4);
}

TEST(ConfigStart, MissingFoldersAreMadeAndTheBuildTreeHasTheLayout) {
    std::string tmpl = (fs::temp_directory_path() / "clx_cfg_XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    Config fresh(tmpl + "/Inst/Bin/prog", Locale::Default());
    fresh.EnsureMacroFolders();
    for (const auto* f : {&fresh.ResourceFolder(), &fresh.TempFolder(), &fresh.HelpFolder(),
                          &fresh.DataFolder()})
        EXPECT_TRUE(fs::is_directory(*f)) << *f;
    fs::remove_all(tmpl);

    Config built(std::string(CLX_BUILD_ROOT) + "/Bin/clx", Locale::Default());
    for (const auto* f : {&built.ResourceFolder(), &built.TempFolder(), &built.HelpFolder(),
                          &built.DataFolder()})
        EXPECT_TRUE(fs::is_directory(*f)) << *f;

    std::string self = RunningProgramPath();
    EXPECT_TRUE(fs::is_regular_file(self)) << self;
    EXPECT_TRUE(self.ends_with("app_tests")) << self;
}
