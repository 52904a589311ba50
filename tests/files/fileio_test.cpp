#include "files/fileio.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>

namespace clx {
namespace {

namespace fs = std::filesystem;

class FileIo : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("clx_fileio_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    void Put(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
    std::string Get(const fs::path& p) {
        const auto b = ReadFileBytes(p);
        return std::string(b.begin(), b.end());
    }
    static std::span<const uint8_t> B(const std::string& s) {
        return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
    }
    size_t Entries() { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator())); }
    static fs::perms Perms(const fs::path& p) { return fs::status(p).permissions(); }
    fs::path dir;
};

TEST_F(FileIo, WriteCreatesAndReplacesKeepingPermissions) {
    const fs::path f = dir / "doc.cxz";
    WriteFileAtomic(f, B("first"));
    EXPECT_EQ(Get(f), "first");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(static_cast<mode_t>(Perms(f)), 0666 & ~mask);  // not the temporary file's 0600

    fs::permissions(f, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteFileAtomic(f, B("second, longer"));
    EXPECT_EQ(Get(f), "second, longer");
    EXPECT_EQ(Perms(f), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Entries(), 1u);  // no temporary file left behind
}

TEST_F(FileIo, WriteFollowsASymbolicLink) {
    fs::create_directories(dir / "real");
    Put(dir / "real" / "doc.cxz", "old");
    fs::create_symlink(dir / "real" / "doc.cxz", dir / "link.cxz");
    WriteFileAtomic(dir / "link.cxz", B("new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.cxz"));
    EXPECT_EQ(Get(dir / "real" / "doc.cxz"), "new");
}

TEST_F(FileIo, AFailedWriteLeavesTheTargetAndNamesIt) {
    const fs::path f = dir / "doc.cxz";
    Put(f, "precious");
    auto expectFailure = [&](const fs::path& target, const std::string& bytes, const std::string& reason) {
        try {
            WriteFileAtomic(target, B(bytes));
            ADD_FAILURE() << "the write succeeded";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(target.string()), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    };
    // The disk fills up half-way: the file size limit makes the write fail, even for root.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    expectFailure(f, std::string(100000, 'x'), "too large");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(Get(f), "precious");
    EXPECT_EQ(Entries(), 1u);

    fs::permissions(f, fs::perms::owner_read | fs::perms::group_read);
    expectFailure(f, "new", "read-only");
    fs::permissions(f, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Get(f), "precious");

    expectFailure(dir / "missing" / "doc.cxz", "new", "No such file");
    fs::create_directories(dir / "adir");
    expectFailure(dir / "adir", "new", "not a regular file");
    EXPECT_EQ(Get(f), "precious");
}

TEST_F(FileIo, ReadNamesTheFileAndCapsTheSize) {
    Put(dir / "big", std::string(5000, 'x'));
    EXPECT_EQ(ReadFileBytes(dir / "big").size(), 5000u);
    EXPECT_EQ(ReadFileBytes(dir / "big", 5000).size(), 5000u);
    EXPECT_THROW(ReadFileBytes(dir / "big", 4999), FileError);
    try {
        ReadFileBytes(dir / "absent.cxz");
        ADD_FAILURE();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("absent.cxz"), std::string::npos);
    }
    EXPECT_THROW(ReadFileBytes(dir), FileError);
}

TEST_F(FileIo, RotateBackupsMovesEachBackupOneStepDown) {
    const fs::path f = dir / "doc.cxz";
    Put(f, "current");
    RotateBackups(f, {"~dz"});
    EXPECT_EQ(Get(dir / "doc.~dz"), "current");
    EXPECT_EQ(Get(f), "current");

    Put(f, "v3");
    Put(dir / "doc.~1", "v2");
    Put(dir / "doc.~2", "v1");
    RotateBackups(f, {".~1", "~2"});
    EXPECT_EQ(Get(f), "v3");
    EXPECT_EQ(Get(dir / "doc.~1"), "v3");
    EXPECT_EQ(Get(dir / "doc.~2"), "v2");

    // A missing middle backup is skipped: the oldest stays.
    fs::remove(dir / "doc.~1");
    RotateBackups(f, {".~1", "~2"});
    EXPECT_EQ(Get(dir / "doc.~1"), "v3");
    EXPECT_EQ(Get(dir / "doc.~2"), "v2");

    // Nothing to back up: nothing happens.
    RotateBackups(dir / "new.cxz", {"~dz"});
    EXPECT_FALSE(fs::exists(dir / "new.~dz"));

    WriteFileWithBackups(f, B("v4"), {".~1", "~2"});
    EXPECT_EQ(Get(f), "v4");
    EXPECT_EQ(Get(dir / "doc.~1"), "v3");
    EXPECT_EQ(Get(dir / "doc.~2"), "v3");

    Put(dir / "notes", "plain");
    RotateBackups(dir / "notes", {"bak"});
    EXPECT_EQ(Get(dir / "notes.bak"), "plain");
}

TEST_F(FileIo, RotateBackupsClearsReadOnlyAndReportsFailures) {
    const fs::path f = dir / "doc.cxz";
    Put(f, "current");
    Put(dir / "doc.~dz", "old");
    fs::permissions(f, fs::perms::owner_read);
    fs::permissions(dir / "doc.~dz", fs::perms::owner_read);
    RotateBackups(f, {"~dz"});
    EXPECT_EQ(Get(dir / "doc.~dz"), "current");
    EXPECT_TRUE((Perms(f) & fs::perms::owner_write) != fs::perms::none);

    fs::remove(dir / "doc.~dz");
    fs::create_directories(dir / "doc.~dz");
    try {
        RotateBackups(f, {"~dz"});
        ADD_FAILURE();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("doc.~dz"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace clx
