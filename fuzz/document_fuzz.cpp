// Document files from anywhere, plain or deflated.
#include "document_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clx::fuzz::CheckDocumentImage(std::span<const uint8_t>(data, size));
    return 0;
}
