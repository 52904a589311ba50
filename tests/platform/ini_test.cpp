#include "platform/ini.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace clx;
namespace fs = std::filesystem;

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "clx_ini_XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    std::string File(const std::string& name) const { return (dir_ / name).string(); }
    static void Write(const std::string& path, const std::string& data) {
        std::ofstream(path, std::ios::binary) << data;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
};

}  // namespace

TEST_F(IniTest, ReadsCaseInsensitivelyAndToleratesBomAndCrlf) {
    std::string path = File("CLX.INI");
    Write(path,
          "\xEF\xBB\xBF; user settings\r\n"
          "[Settings]\r\n"
          "IniLastFile = /data/My Case.cxz \r\n"
          "ChrDateFormat=-10\r\n"
          "Quoted=\"  padded  \"\r\n"
          "Hex=0x1F\r\n"
          "Bad=12abc\r\n"
          "Huge=99999999999\r\n"
          "junk line\r\n"
          "[TFMain]\r\n"
          "od1.InitialDir=/data\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("settings", "INILASTFILE"), "/data/My Case.cxz");
    EXPECT_EQ(ini.ReadInteger("SETTINGS", "chrdateformat", 0), -10);
    EXPECT_EQ(ini.ReadString("Settings", "Quoted"), "  padded  ");
    EXPECT_EQ(ini.ReadInteger("Settings", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Settings", "Bad", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Settings", "Huge", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Settings", "Missing", -10), -10);
    EXPECT_EQ(ini.ReadString("Missing", "IniLastFile", "none"), "none");
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Settings", "TFMain"}));
    EXPECT_EQ(ini.Keys("settings"),
              (std::vector<std::string>{"IniLastFile", "ChrDateFormat", "Quoted", "Hex", "Bad", "Huge"}));
}

TEST_F(IniTest, RewritingKeepsOrderCommentsBomAndLineEnds) {
    std::string path = File("CLX.INI");
    Write(path,
          "\xEF\xBB\xBF; kept comment\r\n"
          "[TFMain]\r\n"
          "od1.FileName=a.cxz\r\n"
          "; inside\r\n"
          "od2.FileName=b.dcz\r\n"
          "\r\n"
          "[Settings]\r\n"
          "ChrDateFormat=-10\r\n"
          "[Old]\r\n"
          "x=1\r\n");
    IniFile ini(path);
    ini.WriteString("tfmain", "OD1.FILENAME", "c.cxz");   // existing key keeps its spelling
    ini.WriteString("TFMain", "sd1.InitialDir", "/x");     // after the section's last entry
    ini.WriteInteger("Settings", "ChrDateFormat", 3);
    ini.EraseSection("old");
    ini.WriteString("Recent", "1", " lead");               // new section, value that needs quotes
    ini.EraseKey("TFMain", "od2.filename");
    EXPECT_TRUE(ini.Modified());
    ini.Save();
    EXPECT_FALSE(ini.Modified());

    EXPECT_EQ(Read(path),
              "\xEF\xBB\xBF; kept comment\r\n"
              "[TFMain]\r\n"
              "od1.FileName=c.cxz\r\n"
              "; inside\r\n"
              "sd1.InitialDir=/x\r\n"
              "\r\n"
              "[Settings]\r\n"
              "ChrDateFormat=3\r\n"
              "\r\n"
              "[Recent]\r\n"
              "1=\" lead\"\r\n");
    IniFile again(path);
    EXPECT_EQ(again.ReadString("Recent", "1"), " lead");
    EXPECT_EQ(again.ReadInteger("settings", "chrdateformat", 0), 3);
}

TEST_F(IniTest, ValuesRoundTripThroughSave) {
    std::string path = File("sub/dir/CLX.INI");   // missing folders are made
    IniFile ini(path);
    const std::string values[] = {"", "plain", "'single'", "\"double\"", "a=b;c", " both ", "é/日本"};
    int i = 0;
    for (const auto& v : values) ini.WriteString("S", "k" + std::to_string(i++), v);
    ini.WriteBool("S", "flag", true);
    ini.Save();
    IniFile again(path);
    i = 0;
    for (const auto& v : values) EXPECT_EQ(again.ReadString("S", "k" + std::to_string(i++), "?"), v);
    EXPECT_TRUE(again.ReadBool("S", "flag", false));
}

TEST_F(IniTest, RejectsNamesAndValuesThatWouldBreakTheFile) {
    IniFile ini(File("CLX.INI"));
    EXPECT_THROW(ini.WriteString("Settings", "IniLastFile", "a\n[Evil]\nx=1"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("Settings", "a=b", "1"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("Settings", ";c", "1"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("Set]tings", "k", "1"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("", "k", "1"), std::invalid_argument);
    EXPECT_FALSE(ini.Modified());
}

// A write that fails half-way (here: the file size limit) must leave the old file as it was.
TEST_F(IniTest, FailedSaveLeavesTheFileAndNoTemporaryBehind) {
    std::string path = File("CLX.INI");
    const std::string old = "[Settings]\nIniLastFile=/data/a.cxz\n";
    Write(path, old);
    IniFile ini(path);
    ini.WriteString("Settings", "IniLastFile", std::string(4096, 'x'));

    struct rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(ini.Save(), IniError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(Read(path), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);
    EXPECT_TRUE(ini.Modified());

    // A folder that cannot exist: the error names the file.
    Write(File("plain"), "");
    IniFile nowhere(File("plain/CLX.INI"));
    nowhere.WriteInteger("Settings", "ChrDateFormat", 1);
    try {
        nowhere.Save();
        ADD_FAILURE() << "saved into a file";
    } catch (const IniError& e) {
        EXPECT_NE(std::string(e.what()).find("plain/CLX.INI"), std::string::npos) << e.what();
    }
}

TEST_F(IniTest, SaveReplacesTheFileKeepingItsModeAndLink) {
    std::string real = File("real.ini");
    std::string link = File("CLX.INI");
    Write(real, "[A]\nk=1\n");
    ::chmod(real.c_str(), 0600);
    fs::create_symlink(real, link);

    IniFile ini(link);
    ini.WriteInteger("A", "k", 2);
    ini.Save();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(real), "[A]\nk=2\n");
    struct stat st{};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 2);
}

TEST_F(IniTest, UnreadableFileIsReportedAndMissingOneIsEmpty) {
    EXPECT_TRUE(IniFile(File("none.ini")).Sections().empty());
    fs::create_directory(File("adir"));
    EXPECT_THROW(IniFile(File("adir")), IniError);
    EXPECT_THROW(IniFile("").Save(), IniError);
}
