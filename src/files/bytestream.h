#pragma once
// In-memory byte images: a growing little-endian writer and a bounds-checked reader.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace clx {

// A file image that cannot be read (or an object that cannot be written as one).
class StreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The message of a table stream whose field name length is out of range.
inline constexpr const char* kDataIncorrect = "The data is incorrect";

class ByteWriter {
public:
    void WriteBytes(const void* data, size_t n);
    void WriteBytes(std::span<const uint8_t> bytes) { WriteBytes(bytes.data(), bytes.size()); }
    void WriteZeros(size_t n);
    void WriteU8(uint8_t v);
    void WriteI16(int16_t v);
    void WriteU16(uint16_t v);
    void WriteI32(int32_t v);
    void WriteI64(int64_t v);
    void WriteF64(double v);

    size_t Size() const { return buf_.size(); }
    const std::vector<uint8_t>& Bytes() const { return buf_; }
    std::vector<uint8_t> Take() { return std::move(buf_); }

private:
    std::vector<uint8_t> buf_;
};

// Every read is checked against the end: reading past it throws StreamError and leaves the
// position where it was.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
    explicit ByteReader(std::vector<uint8_t>&&) = delete;  // would read a buffer already gone

    size_t Size() const { return data_.size(); }
    size_t Pos() const { return pos_; }
    size_t Remaining() const { return data_.size() - pos_; }
    bool AtEnd() const { return pos_ >= data_.size(); }
    void Seek(size_t pos) { pos_ = pos < data_.size() ? pos : data_.size(); }  // clamped to the end
    void Skip(size_t n);
    std::span<const uint8_t> ReadBytes(size_t n);
    std::span<const uint8_t> Rest() const { return data_.subspan(pos_); }

    uint8_t ReadU8();
    int16_t ReadI16();
    uint16_t ReadU16();
    int32_t ReadI32();
    int64_t ReadI64();
    double ReadF64();

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

}  // namespace clx
