// Master plan files from anywhere: the plain menu, then the deflated sections.
#include "planfile_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clx::fuzz::CheckPlanFileImage(std::span<const uint8_t>(data, size));
    return 0;
}
