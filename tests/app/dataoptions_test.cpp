#include "app/dataoptions.h"

#include <string>
#include <gtest/gtest.h>

#include <filesystem>

#include "files/fileio.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

class DataOptions : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per test: ctest runs the tests of this fixture side by side.
        root_ = fs::temp_directory_path() /
                ("clx_dataoptions_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "Bin" / "Rsc" / "Eng");
        Options factory;
        factory.header.dateEntryFormat = 2;
        factory.paths = {(root_ / "Shared").string()};
        WriteFileAtomic(Rsc() / "default.dcz", OptionsImage(factory));
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path Rsc() const { return root_ / "Bin" / "Rsc" / "Eng"; }

    fs::path root_;
};

TEST_F(DataOptions, StartUpHandsFoldersAndDateFormatToTheConfiguration) {
    Config config((root_ / "Bin" / "chronolex").string(), Locale::Default());
    Options options;
    Links links;
    OptionsLoadReport r = LoadProgramOptions(config, options, links, nullptr);
    EXPECT_TRUE(r.Loaded()) << r.error;
    EXPECT_TRUE(r.usedFactory);
    EXPECT_EQ(config.Paths(), options.paths);
    EXPECT_EQ(config.DateEntryFormat(), "dd/mm/yyyy");
}

TEST_F(DataOptions, ANewDataFolderIsSavedAtOnce) {
    Config config((root_ / "Bin" / "chronolex").string(), Locale::Default());
    Options options;
    Links links;
    LoadProgramOptions(config, options, links, nullptr);

    const fs::path file = root_ / "Matters" / "court.skx";
    EXPECT_TRUE(AddDataFolderOf(config, options, file.string(), nullptr));
    Options saved;
    ASSERT_TRUE(LoadOptions(saved, Rsc() / "options.dcz", {}).Loaded());
    EXPECT_EQ(saved.paths, (std::vector<std::string>{(root_ / "Shared").string(), (root_ / "Matters").string()}));

    // A folder already known writes nothing.
    fs::remove(Rsc() / "options.dcz");
    EXPECT_FALSE(AddDataFolderOf(config, options, (root_ / "Matters" / "other.skx").string(), nullptr));
    EXPECT_FALSE(AddDataFolderOf(config, options, (config.DataFolder() + "/x.skx"), nullptr));
    EXPECT_FALSE(fs::exists(Rsc() / "options.dcz"));
}

}  // namespace
}  // namespace clx
