// Section files from anywhere, plain or deflated: records, tables, rich text and lines.
#include "stream_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clx::fuzz::CheckSectionStream(std::span<const uint8_t>(data, size));
    return 0;
}
