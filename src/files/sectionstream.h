#pragma once
// SectionStream: a file image made of id-checked sections (32-byte header, then the payload),
// and PackStream, the raw DEFLATE of a whole image.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/bytestream.h"

namespace clx {

class MemTable;

// Rich text carried through a section as RTF bytes, so that any rich-text model can plug in.
// LoadRtf must throw for RTF it cannot read and then keep its previous content.
class RtfContent {
public:
    virtual ~RtfContent() = default;
    virtual std::string SaveRtf() const = 0;
    virtual void LoadRtf(std::string_view rtf) = 0;
};

// RTF kept as it is, for code that only moves rich text from file to file.
class RtfBytes : public RtfContent {
public:
    RtfBytes() = default;
    explicit RtfBytes(std::string rtf) : rtf_(std::move(rtf)) {}
    std::string SaveRtf() const override { return rtf_; }
    void LoadRtf(std::string_view rtf) override { rtf_.assign(rtf); }
    const std::string& Rtf() const { return rtf_; }

private:
    std::string rtf_;
};

enum class SectionMode { Read, Write };

enum class SectionResult {
    Written,  // write mode: the section was appended
    Loaded,   // the object was replaced by the section's payload
    End,      // the image has ended: the object keeps its content
    OtherId,  // the next section has another id: skipped, the object keeps its content
    Empty,    // the section has no payload: the object keeps its content
    Damaged,  // the payload could not be read: skipped, the object keeps its content
};

inline constexpr size_t kSectionHeaderSize = 32;

class SectionStream {
public:
    SectionStream() = default;                                    // write mode, empty image
    explicit SectionStream(std::vector<uint8_t> image)            // read mode from the start
        : mode_(SectionMode::Read), image_(std::move(image)) {}

    SectionMode Mode() const { return mode_; }

    // One section each, in the stream's mode; the label only names the section in messages.
    // Reading never throws: a damaged section is skipped and its object keeps its content.
    // Writing throws when the object cannot be serialised, so that no damaged file is written.
    // Raw: a fixed record of record.size() bytes; a shorter payload replaces only the first
    // bytes, a longer one only fills the record.
    SectionResult StreamSection(std::span<uint8_t> record, int32_t id, std::string_view label);
    SectionResult StreamSection(MemTable& table, int32_t id, std::string_view label);
    SectionResult StreamSection(RtfContent& text, int32_t id, std::string_view label);
    // Text lines in the single-byte code page, each followed by CR LF.
    SectionResult StreamSection(std::vector<std::string>& lines, int32_t id, std::string_view label);

    const std::vector<uint8_t>& Image() const { return image_; }
    std::vector<uint8_t> TakeImage() { return std::move(image_); }
    size_t Pos() const { return pos_; }
    bool AtEnd() const { return pos_ >= image_.size(); }
    // Why the last section was Damaged ("label: reason"); empty after any other result.
    const std::string& LastError() const { return lastError_; }

private:
    template <class Load>
    SectionResult ReadSection(int32_t id, std::string_view label, Load&& load);
    SectionResult WriteSection(int32_t id, std::span<const uint8_t> payload);

    SectionMode mode_ = SectionMode::Write;
    std::vector<uint8_t> image_;
    size_t pos_ = 0;
    std::string lastError_;
};

// Payload encodings of the section kinds, for readers and writers that build sections alone.
std::vector<uint8_t> EncodeLines(const std::vector<std::string>& lines);
std::vector<std::string> DecodeLines(std::span<const uint8_t> payload);

// Compression levels by index: maximum, normal, fast, super fast, stored.
inline constexpr std::array<std::string_view, 5> kPackLevels = {"x", "n", "f", "s", "o"};
inline constexpr int kPackNormal = 1;
inline constexpr int kPackStored = 4;
inline constexpr size_t kMaxUnpackedSize = size_t{256} << 20;

enum class PackDirection { Pack, Unpack };

// Deflates or inflates the whole buffer in place as raw DEFLATE (no zlib or gzip wrapper);
// level kPackStored leaves it unchanged. Unpacking throws StreamError for truncated or invalid
// data and for an image larger than maxUnpacked; the buffer is then unchanged.
void PackStream(std::vector<uint8_t>& stream, int level, PackDirection direction,
                size_t maxUnpacked = kMaxUnpackedSize);

}  // namespace clx
