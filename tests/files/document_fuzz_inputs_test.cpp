// The document fuzz seeds are real writer output, and every kept input passes the checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "../../fuzz/document_checks.h"
#include "files/fileio.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDir = fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz";

std::vector<uint8_t> Prefixed(uint8_t first, std::vector<uint8_t> rest) {
    rest.insert(rest.begin(), first);
    return rest;
}

std::map<std::string, std::vector<uint8_t>> Seeds() {
    auto d = fuzz::MakeFuzzDocument();
    d->tools.ApplyOutputRecordRule(true);
    return {
        {"plain", Prefixed(0, d->WriteImage(false))},
        {"packed", Prefixed(1, d->WriteImage(true))},
    };
}

TEST(DocumentFuzzInputs, SeedsAreTheWritersOutput) {
    const bool update = std::getenv("CLX_UPDATE_FUZZ_SEEDS") != nullptr;
    for (const auto& [name, bytes] : Seeds()) {
        const fs::path p = kFuzzDir / "corpus" / "document_fuzz" / name;
        if (update) {
            fs::create_directories(p.parent_path());
            WriteFileAtomic(p, bytes);
        }
        ASSERT_TRUE(fs::exists(p)) << p << " is missing (CLX_UPDATE_FUZZ_SEEDS=1 writes it)";
        EXPECT_EQ(ReadFileBytes(p), bytes) << p << " differs from what the writer produces now";
    }
}

TEST(DocumentFuzzInputs, EveryKeptInputPassesTheChecks) {
    int n = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path dir = kFuzzDir / kind / "document_fuzz";
        if (!fs::is_directory(dir)) continue;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (!e.is_regular_file()) continue;
            EXPECT_NO_THROW(fuzz::CheckDocumentImage(ReadFileBytes(e.path()))) << e.path();
            ++n;
        }
    }
    EXPECT_GT(n, 0);
}

// Truncations and flipped bytes of a real document keep the promises too.
TEST(DocumentFuzzInputs, MutatedDocumentsKeepThePromises) {
    const auto plain = Seeds().at("plain");
    for (size_t cut = 1; cut < plain.size(); cut += 97)
        EXPECT_NO_THROW(fuzz::CheckDocumentImage(std::span(plain).first(cut))) << cut;
    auto flipped = plain;
    for (size_t i = 1; i < flipped.size(); i += 13) {
        flipped[i] ^= 0x5A;
        EXPECT_NO_THROW(fuzz::CheckDocumentImage(flipped)) << i;
    }
    const auto packed = Seeds().at("packed");
    for (size_t cut = 1; cut < packed.size(); cut += 31)
        EXPECT_NO_THROW(fuzz::CheckDocumentImage(std::span(packed).first(cut))) << cut;
}

}  // namespace
}  // namespace clx
