#pragma once
// The byte image of a MemTable: "Ver", the format version, the stored field descriptors and
// every row. The image has no length of its own; it ends where its buffer ends.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/bytestream.h"
#include "platform/memtable.h"

namespace clx {

inline constexpr double kTableStreamVersion = 1.8;
inline constexpr int kBcdRecordSize = 34;
inline constexpr int kBcdWritePrecision = 32;

// Writes every data field except calculated ones (the record number is not a field) and every
// row of the table, hidden rows of a filtered table included. Strings and memos are written in
// the single-byte code page. Throws StreamError for a value that cannot be written.
void SaveToStream(const MemTable& table, ByteWriter& out);
std::vector<uint8_t> SaveToStream(const MemTable& table);

// Reads a table image from the reader's position to its end and replaces the table's rows
// with the rows read: stored fields are matched to the table's fields by name, unmatched ones
// are skipped, table fields absent from the image are null, rows are numbered 1, 2, 3 ...,
// sorted, and the first row becomes current. All or nothing: a damaged image throws
// StreamError (the text is kDataIncorrect for a field name length over 255) and the table
// keeps its previous rows. A table that is being edited is refused with TableError.
void LoadFromStream(MemTable& table, ByteReader& in);
void LoadFromStream(MemTable& table, std::span<const uint8_t> image);

// The 34-byte packed decimal record (precision, sign bit and places, 64 digit nibbles high
// nibble first, digits left-aligned) to and from exact decimal text such as "-12.3400".
// EncodeBcd writes the given precision and places (the value is rounded half away from zero
// to the places) and throws StreamError for text that is not a number or does not fit.
// DecodeBcd gives the value with exactly the record's places and throws StreamError for a
// malformed record.
std::array<uint8_t, kBcdRecordSize> EncodeBcd(std::string_view decimal, int places,
                                              int precision = kBcdWritePrecision);
std::string DecodeBcd(std::span<const uint8_t> record);

}  // namespace clx
