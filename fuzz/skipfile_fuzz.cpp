// Skip-date files from anywhere: the five sections read into a set that already holds rules.
#include "skipfile_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clx::fuzz::CheckSkipFile(std::span<const uint8_t>(data, size));
    return 0;
}
