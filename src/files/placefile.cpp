#include "files/placefile.h"

#include <system_error>
#include <vector>

#include "files/fileio.h"
#include "files/tablestream.h"

namespace clx {

bool ReadPlaceFile(const std::filesystem::path& path, MemTable& table) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (ec) throw FileError("Cannot read the place file " + path.string() + ": " + ec.message());
        return false;
    }
    const std::vector<uint8_t> image = ReadFileBytes(path);
    try {
        LoadFromStream(table, image);
    } catch (const StreamError& e) {
        throw FileError("The place file " + path.string() + " is damaged: " + e.what());
    }
    return true;
}

void SavePlaceFile(const std::filesystem::path& path, const MemTable& table) {
    WriteFileAtomic(path, SaveToStream(table));
}

}  // namespace clx
