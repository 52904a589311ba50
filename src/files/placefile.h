#pragma once
// Place files: pll.dat (standard places, resource folder) and plu.dat (the user's places, data
// folder), each one bare table image, neither sectioned nor compressed.
#include <filesystem>
#include <string_view>

#include "platform/memtable.h"

namespace clx {

inline constexpr std::string_view kStandardPlacesFile = "pll.dat";
inline constexpr std::string_view kUserPlacesFile = "plu.dat";

// All or nothing. False when the file does not exist (the table is left alone); a file that
// cannot be read or is damaged throws FileError naming it, the table keeping its rows.
bool ReadPlaceFile(const std::filesystem::path& path, MemTable& table);
// Replaces the file safely with the table's image (throws FileError, StreamError).
void SavePlaceFile(const std::filesystem::path& path, const MemTable& table);

}  // namespace clx
