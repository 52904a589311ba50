// The master plan fuzz seed is real writer output, and every kept input passes the checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "../../fuzz/planfile_checks.h"
#include "files/fileio.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDir = fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz";

TEST(PlanFileFuzzInputs, SeedIsTheWritersOutput) {
    const fs::path p = kFuzzDir / "corpus" / "planfile_fuzz" / "two-plans";
    const std::vector<uint8_t> bytes = fuzz::MakeFuzzPlanFile();
    if (std::getenv("CLX_UPDATE_FUZZ_SEEDS")) {
        fs::create_directories(p.parent_path());
        WriteFileAtomic(p, bytes);
    }
    ASSERT_TRUE(fs::exists(p)) << p << " is missing (CLX_UPDATE_FUZZ_SEEDS=1 writes it)";
    EXPECT_EQ(ReadFileBytes(p), bytes) << p << " differs from what the writer produces now";
}

TEST(PlanFileFuzzInputs, EveryKeptInputPassesTheChecks) {
    int n = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path dir = kFuzzDir / kind / "planfile_fuzz";
        if (!fs::is_directory(dir)) continue;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (!e.is_regular_file()) continue;
            EXPECT_NO_THROW(fuzz::CheckPlanFileImage(ReadFileBytes(e.path()))) << e.path();
            ++n;
        }
    }
    EXPECT_GT(n, 0);
}

// Flipped bytes of a real file, in the plain menu and in the deflated part, keep the promises.
TEST(PlanFileFuzzInputs, MutatedFilesKeepThePromises) {
    const std::vector<uint8_t> good = fuzz::MakeFuzzPlanFile();
    for (size_t i = 0; i < good.size(); i += 3) {
        std::vector<uint8_t> bad = good;
        bad[i] ^= static_cast<uint8_t>(0xFF - i % 251);
        EXPECT_NO_THROW(fuzz::CheckPlanFileImage(bad)) << "byte " << i;
    }
}

}  // namespace
}  // namespace clx
