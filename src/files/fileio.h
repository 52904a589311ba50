#pragma once
// Whole-file reading, safe replacement of a file and the backup rotation before it.
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace clx {

// A file that cannot be read, written or backed up; the message names the file.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr uintmax_t kMaxFileSize = uintmax_t{256} << 20;

// True for an existing regular file (a link to one included); false for an empty name and for
// anything that cannot be looked at.
bool IsRegularFile(const std::filesystem::path& path);

// Reads a whole file; throws FileError when it cannot be read or is larger than maxSize.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path, uintmax_t maxSize = kMaxFileSize);

// Writes the bytes to a new file in the target's folder, flushes it to disk and renames it
// over the target (a symbolic link is followed; an existing target keeps its permissions).
// On any failure the target is untouched, the temporary file is removed and FileError names
// the target. A target without write permission is refused.
void WriteFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// Copies name.ext to name.<first backup extension>, after moving each older backup one step
// down the list first (the last one is overwritten). Extensions may be given with or without
// the leading ".". Missing files are skipped; a read-only backup is made writable before it is
// replaced. Throws FileError naming the file that could not be copied.
void RotateBackups(const std::filesystem::path& fileName, const std::vector<std::string>& backupExtensions);

// What every writer does: RotateBackups, then WriteFileAtomic. A failed backup stops the write.
void WriteFileWithBackups(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                          const std::vector<std::string>& backupExtensions);

}  // namespace clx
