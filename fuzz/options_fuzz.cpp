// Options and links files from anywhere, plain or deflated: no crash, and whatever was read
// writes back to an image that reads back to the same bytes.
#include <stdexcept>
#include <vector>

#include "files/options.h"

namespace {

std::vector<uint8_t> Unpacked(std::vector<uint8_t> image) {
    clx::PackStream(image, clx::kOptionsPackLevel, clx::PackDirection::Unpack, size_t{1} << 22);
    return image;
}

void CheckOptions(const std::vector<uint8_t>& image) {
    clx::Options first;
    clx::SectionStream in(image);
    clx::StreamOptions(first, in);
    const std::vector<uint8_t> written = clx::OptionsImage(first);
    clx::Options second;
    clx::SectionStream again(Unpacked(written));
    clx::StreamOptions(second, again);
    if (clx::OptionsImage(second) != written) throw std::logic_error("options do not read back as written");
}

void CheckLinks(const std::vector<uint8_t>& image) {
    clx::Links first;
    clx::SectionStream in(image);
    clx::StreamLinks(first, in);
    const std::vector<uint8_t> written = clx::LinksImage(first);
    clx::Links second;
    clx::SectionStream again(written);
    clx::StreamLinks(second, again);
    if (clx::LinksImage(second) != written) throw std::logic_error("links do not read back as written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> raw(data, data + size);
    CheckOptions(raw);
    CheckLinks(raw);
    try {
        const std::vector<uint8_t> inflated = Unpacked(raw);
        CheckOptions(inflated);
    } catch (const clx::StreamError&) {
        // Not a deflate stream: nothing more to read.
    }
    return 0;
}
