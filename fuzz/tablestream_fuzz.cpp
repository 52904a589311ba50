// Table images from anywhere: LoadFromStream into a table with every field kind.
#include "stream_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clx::fuzz::CheckTableStream(std::span<const uint8_t>(data, size));
    return 0;
}
