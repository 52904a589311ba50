#include "app/document_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace clx {
namespace {

namespace fs = std::filesystem;

class DocumentSettings : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("clx_docset_" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "Bin" / "Rsc" / "Eng");
        fs::create_directories(root / "Data");
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(DocumentSettings, LastFileRecentListAndChronologyFormatGoToTheirStores) {
    Config config((root / "Bin" / "prog").string(), Locale::Default());
    const std::string userIni = (root / "user.ini").string();
    const std::string compIni = (root / "Bin" / "CLX.INI").string();
    IniFile user(userIni), comp(compIni);
    user.WriteInteger(kSettingsSection, kChrDateFormat, 4);

    Document doc;
    BindDocumentSettings(doc, config, user, comp);
    EXPECT_EQ(doc.Paths().templateFile, config.Files().newTemplate);
    EXPECT_EQ(doc.Paths().dataFolder, config.DataFolder());

    const std::string a = (root / "Data" / "a.cxz").string();
    doc.Save(a);
    doc.Save(config.Files().dataNew);   // never remembered
    doc.ApplyNewDefaults(ndChronology);
    EXPECT_EQ(doc.header.Get(hdr::ChrDateFormat), 4);

    IniFile user2(userIni), comp2(compIni);
    EXPECT_EQ(config.ReadLastFile(user2), a);
    Document again;
    BindDocumentSettings(again, config, user2, comp2);
    EXPECT_EQ(again.recent.Items(), std::vector<std::string>{a});
}

}  // namespace
}  // namespace clx
