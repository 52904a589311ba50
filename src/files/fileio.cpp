#include "files/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <random>

namespace clx {

namespace fs = std::filesystem;

namespace {

std::string SysError(int err) { return std::strerror(err); }

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    int Close() {
        if (fd_ < 0) return 0;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// The file a write to the path lands in: symbolic links are followed.
fs::path Resolve(const fs::path& path) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        fs::path real = fs::canonical(path, ec);
        if (!ec) return real;
    }
    return path;
}

fs::path TempNameBeside(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937 rng{std::random_device{}()};
    const std::string name = fmt::format(".{}.{}-{}-{:08x}.tmp", target.filename().string(), ::getpid(),
                                         counter.fetch_add(1), rng());
    return target.parent_path() / name;
}

// Creates a new file beside the target, lets fill() write it, flushes it to disk and renames
// it over the target. fill() returns an error text or "" on success.
void ReplaceFile(const fs::path& shownName, const fs::path& path,
                 const std::function<std::string(int fd)>& fill) {
    const fs::path target = Resolve(path);
    auto fail = [&](const std::string& why) {
        return FileError(fmt::format("Cannot write the file '{}': {}", shownName.string(), why));
    };
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) throw fail("it is not a regular file");
    // Without any write permission bit the file is read-only, also for a user who may write anyway.
    if (exists && ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0))
        throw fail("the file is read-only");

    fs::path tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = TempNameBeside(target);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw fail(SysError(errno));
    Fd file(fd);
    auto abandon = [&](const std::string& why) {
        file.Close();
        ::unlink(tmp.c_str());
        return fail(why);
    };
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) throw abandon(SysError(errno));
    if (std::string why = fill(fd); !why.empty()) throw abandon(why);
    if (::fsync(fd) != 0) throw abandon(SysError(errno));
    if (file.Close() != 0) throw abandon(SysError(errno));
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        throw fail(SysError(err));
    }
    // The rename itself reaches the disk with the folder.
    const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

}  // namespace

bool IsRegularFile(const std::filesystem::path& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::vector<uint8_t> ReadFileBytes(const fs::path& path, uintmax_t maxSize) {
    auto fail = [&](const std::string& why) {
        return FileError(fmt::format("Cannot read the file '{}': {}", path.string(), why));
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw fail(SysError(errno));
    Fd file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw fail(SysError(errno));
    if (!S_ISREG(st.st_mode)) throw fail("it is not a regular file");
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(std::min<uintmax_t>(static_cast<uintmax_t>(st.st_size), maxSize)));
    uint8_t buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fail(SysError(errno));
        }
        if (n == 0) break;
        if (out.size() + static_cast<size_t>(n) > maxSize)
            throw fail(fmt::format("it is larger than {} MiB", maxSize >> 20));
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

void WriteFileAtomic(const fs::path& path, std::span<const uint8_t> bytes) {
    ReplaceFile(path, path, [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()) ? "" : SysError(errno); });
}

void RotateBackups(const fs::path& fileName, const std::vector<std::string>& backupExtensions) {
    std::vector<std::string> exts{fileName.extension().string()};
    for (const auto& e : backupExtensions) exts.push_back(!e.empty() && e.front() == '.' ? e : "." + e);
    auto named = [&](const std::string& ext) {
        fs::path p = fileName;
        p.replace_extension(ext);
        return p;
    };
    for (size_t i = exts.size() - 1; i-- > 0;) {
        const fs::path from = named(exts[i]), to = named(exts[i + 1]);
        std::error_code ec;
        if (!fs::is_regular_file(from, ec) || from == to) continue;
        fs::permissions(from, fs::perms::owner_write, fs::perm_options::add, ec);
        if (fs::exists(to, ec)) fs::permissions(to, fs::perms::owner_write, fs::perm_options::add, ec);
        const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            throw FileError(fmt::format("Cannot copy '{}' to '{}': {}", from.string(), to.string(), SysError(errno)));
        Fd src(in);
        ReplaceFile(to, to, [&](int out) -> std::string {
            uint8_t buf[65536];
            for (;;) {
                const ssize_t n = ::read(in, buf, sizeof buf);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) return fmt::format("cannot read '{}': {}", from.string(), SysError(errno));
                if (n == 0) return "";
                if (!WriteAll(out, buf, static_cast<size_t>(n))) return SysError(errno);
            }
        });
    }
}

void WriteFileWithBackups(const fs::path& path, std::span<const uint8_t> bytes,
                          const std::vector<std::string>& backupExtensions) {
    RotateBackups(path, backupExtensions);
    WriteFileAtomic(path, bytes);
}

}  // namespace clx
