#include "files/bytestream.h"

#include <bit>
#include <cstring>
#include <string>

namespace clx {

static_assert(std::endian::native == std::endian::little, "the file formats are little-endian");

void ByteWriter::WriteBytes(const void* data, size_t n) {
    if (n == 0) return;
    const auto* p = static_cast<const uint8_t*>(data);
    buf_.insert(buf_.end(), p, p + n);
}

void ByteWriter::WriteZeros(size_t n) { buf_.resize(buf_.size() + n, 0); }
void ByteWriter::WriteU8(uint8_t v) { buf_.push_back(v); }
void ByteWriter::WriteI16(int16_t v) { WriteBytes(&v, sizeof v); }
void ByteWriter::WriteU16(uint16_t v) { WriteBytes(&v, sizeof v); }
void ByteWriter::WriteI32(int32_t v) { WriteBytes(&v, sizeof v); }
void ByteWriter::WriteI64(int64_t v) { WriteBytes(&v, sizeof v); }
void ByteWriter::WriteF64(double v) { WriteBytes(&v, sizeof v); }

std::span<const uint8_t> ByteReader::ReadBytes(size_t n) {
    if (n > Remaining())
        throw StreamError("unexpected end of data: " + std::to_string(n) + " bytes needed at offset " +
                          std::to_string(pos_) + ", " + std::to_string(Remaining()) + " left");
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
}

void ByteReader::Skip(size_t n) { ReadBytes(n); }

namespace {
template <class T>
T Load(ByteReader& r) {
    T v;
    std::memcpy(&v, r.ReadBytes(sizeof v).data(), sizeof v);
    return v;
}
}  // namespace

uint8_t ByteReader::ReadU8() { return Load<uint8_t>(*this); }
int16_t ByteReader::ReadI16() { return Load<int16_t>(*this); }
uint16_t ByteReader::ReadU16() { return Load<uint16_t>(*this); }
int32_t ByteReader::ReadI32() { return Load<int32_t>(*this); }
int64_t ByteReader::ReadI64() { return Load<int64_t>(*this); }
double ByteReader::ReadF64() { return Load<double>(*this); }

}  // namespace clx
