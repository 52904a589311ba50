#include "files/sectionstream.h"

#include <fmt/format.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "files/codepage.h"
#include "files/tablestream.h"
#include "platform/memtable.h"

namespace clx {

namespace {

// Bytes 12..19 of every section header: a length byte and seven digits.
constexpr uint8_t kHeaderMark[8] = {7, '1', '2', '3', '4', '5', '6', '7'};

int32_t ReadI32At(const std::vector<uint8_t>& b, size_t pos) {
    int32_t v;
    std::memcpy(&v, b.data() + pos, sizeof v);
    return v;
}

}  // namespace

// ---- sections ------------------------------------------------------------------------------

SectionResult SectionStream::WriteSection(int32_t id, std::span<const uint8_t> payload) {
    if (payload.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw StreamError(fmt::format("section {} is larger than 2 GB", id));
    ByteWriter w;
    w.WriteI32(id);
    w.WriteI32(0);
    w.WriteI32(static_cast<int32_t>(payload.size()));
    w.WriteBytes(kHeaderMark, sizeof kHeaderMark);
    w.WriteZeros(12);
    image_.insert(image_.end(), w.Bytes().begin(), w.Bytes().end());
    image_.insert(image_.end(), payload.begin(), payload.end());
    pos_ = image_.size();
    return SectionResult::Written;
}

template <class Load>
SectionResult SectionStream::ReadSection(int32_t id, std::string_view label, Load&& load) {
    lastError_.clear();
    const size_t end = image_.size();
    if (pos_ >= end) return SectionResult::End;
    auto damaged = [&](const std::string& why) {
        lastError_ = fmt::format("{}: {}", label, why);
        return SectionResult::Damaged;
    };
    if (end - pos_ < kSectionHeaderSize) {
        pos_ = end;
        return damaged("the section header is cut short");
    }
    const int32_t storedId = ReadI32At(image_, pos_);
    const int32_t size = ReadI32At(image_, pos_ + 8);
    pos_ += kSectionHeaderSize;
    if (size < 0) {
        // Nothing after a negative size can be located.
        pos_ = end;
        return damaged(fmt::format("negative payload size {}", size));
    }
    const size_t n = static_cast<size_t>(size);
    if (storedId != id) {
        pos_ += std::min(n, end - pos_);
        return SectionResult::OtherId;
    }
    if (n == 0) return SectionResult::Empty;
    if (n > end - pos_) {
        pos_ = end;
        return damaged(fmt::format("the file ends {} bytes before the end of the section", n - (end - pos_)));
    }
    const std::span<const uint8_t> payload(image_.data() + pos_, n);
    pos_ += n;
    try {
        load(payload);
    } catch (const std::exception& e) {
        return damaged(e.what());
    }
    return SectionResult::Loaded;
}

SectionResult SectionStream::StreamSection(std::span<uint8_t> record, int32_t id, std::string_view label) {
    if (mode_ == SectionMode::Write) return WriteSection(id, record);
    return ReadSection(id, label, [&](std::span<const uint8_t> p) {
        std::copy_n(p.begin(), std::min(p.size(), record.size()), record.begin());
    });
}

SectionResult SectionStream::StreamSection(MemTable& table, int32_t id, std::string_view label) {
    if (mode_ == SectionMode::Write) return WriteSection(id, SaveToStream(table));
    return ReadSection(id, label, [&](std::span<const uint8_t> p) { LoadFromStream(table, p); });
}

SectionResult SectionStream::StreamSection(RtfContent& text, int32_t id, std::string_view label) {
    if (mode_ == SectionMode::Write) {
        const std::string rtf = text.SaveRtf();
        return WriteSection(id, std::span(reinterpret_cast<const uint8_t*>(rtf.data()), rtf.size()));
    }
    return ReadSection(id, label, [&](std::span<const uint8_t> p) {
        text.LoadRtf(std::string_view(reinterpret_cast<const char*>(p.data()), p.size()));
    });
}

SectionResult SectionStream::StreamSection(std::vector<std::string>& lines, int32_t id, std::string_view label) {
    if (mode_ == SectionMode::Write) return WriteSection(id, EncodeLines(lines));
    return ReadSection(id, label, [&](std::span<const uint8_t> p) { lines = DecodeLines(p); });
}

std::vector<uint8_t> EncodeLines(const std::vector<std::string>& lines) {
    std::vector<uint8_t> out;
    for (const auto& line : lines) {
        const std::string s = Utf8ToCp1252(line);
        out.insert(out.end(), s.begin(), s.end());
        out.push_back('\r');
        out.push_back('\n');
    }
    return out;
}

// Lines end at CR LF, a lone CR or a lone LF; the last line needs no terminator.
std::vector<std::string> DecodeLines(std::span<const uint8_t> payload) {
    std::vector<std::string> lines;
    const std::string_view s(reinterpret_cast<const char*>(payload.data()), payload.size());
    size_t i = 0;
    while (i < s.size()) {
        size_t j = i;
        while (j < s.size() && s[j] != '\r' && s[j] != '\n') ++j;
        lines.push_back(Cp1252ToUtf8(s.substr(i, j - i)));
        if (j < s.size()) j += (s[j] == '\r' && j + 1 < s.size() && s[j + 1] == '\n') ? 2 : 1;
        i = j;
    }
    return lines;
}

// ---- compression ---------------------------------------------------------------------------

namespace {

constexpr int kZlibLevels[4] = {9, 6, 3, 1};

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& in, int zlevel) {
    z_stream z{};
    if (deflateInit2(&z, zlevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw StreamError("the compressor cannot be started");
    std::vector<uint8_t> out(deflateBound(&z, static_cast<uLong>(in.size())));
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    const size_t produced = z.total_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw StreamError("the data cannot be compressed");
    out.resize(produced);
    return out;
}

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& in, size_t maxOut) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) throw StreamError("the decompressor cannot be started");
    struct End {
        z_stream& z;
        ~End() { inflateEnd(&z); }
    } end{z};
    // One byte of room beyond the cap tells an image of exactly maxOut bytes from a larger one.
    const size_t limit = maxOut + 1;
    std::vector<uint8_t> out(std::min(limit, std::max<size_t>(in.size() * 4, 64 * 1024)));
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    size_t have = 0;
    for (;;) {
        if (have == out.size()) {
            if (out.size() >= limit) break;
            out.resize(std::min(limit, out.size() * 2));
        }
        const size_t room = std::min<size_t>(out.size() - have, std::numeric_limits<uInt>::max());
        z.next_out = out.data() + have;
        z.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&z, Z_NO_FLUSH);
        have += room - z.avail_out;
        if (rc == Z_STREAM_END) {
            if (have > maxOut) break;
            out.resize(have);
            return out;
        }
        if (rc == Z_OK) continue;
        if (rc == Z_BUF_ERROR) throw StreamError("the compressed data ends too early");
        if (rc == Z_MEM_ERROR) throw StreamError("not enough memory to decompress the data");
        throw StreamError(fmt::format("the compressed data is damaged ({})", z.msg ? z.msg : "invalid data"));
    }
    throw StreamError(fmt::format("the decompressed data would be larger than {} MiB", maxOut >> 20));
}

}  // namespace

void PackStream(std::vector<uint8_t>& stream, int level, PackDirection direction, size_t maxUnpacked) {
    if (level < 0 || level > kPackStored)
        throw StreamError(fmt::format("compression level {} is not between 0 and {}", level, kPackStored));
    if (level == kPackStored) return;
    if (stream.size() > std::numeric_limits<uInt>::max())
        throw StreamError("the data is too large to be compressed or decompressed");
    if (direction == PackDirection::Pack) stream = Deflate(stream, kZlibLevels[level]);
    else stream = Inflate(stream, maxUnpacked);
}

}  // namespace clx
