// The fuzz seeds are real writer output, and every input the fuzzers ever kept (seeds and
// regressions) still passes the readers' checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "../../fuzz/stream_checks.h"
#include "files/bytestream.h"
#include "files/fileio.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDir = fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz";

std::vector<uint8_t> Prefixed(uint8_t first, const std::vector<uint8_t>& rest) {
    std::vector<uint8_t> out(rest.size() + 1);
    out[0] = first;
    std::copy(rest.begin(), rest.end(), out.begin() + 1);
    return out;
}

// A version 0 image: no "Ver", no presence bytes.
std::vector<uint8_t> VersionZeroImage() {
    ByteWriter w;
    w.WriteI32(2);
    w.WriteI32(9);
    w.WriteI16(1);
    w.WriteI16(5);
    w.WriteBytes("Name", 5);
    w.WriteI32(4);
    w.WriteI16(3);
    w.WriteI16(6);
    w.WriteBytes("Count", 6);
    for (int i = 0; i < 3; ++i) {
        w.WriteI32(4);
        w.WriteBytes("abc", 4);
        w.WriteI32(i * 10);
    }
    return w.Take();
}

// An image with a field the table does not have, between two it has.
std::vector<uint8_t> UnknownFieldImage() {
    MemTable t("old");
    t.AddField("Name", FieldType::String, 8);
    t.AddField("Gone", FieldType::BCD, 2);
    t.AddField("Wide", FieldType::Memo);
    t.AddField("Count", FieldType::Integer);
    t.LoadRows({{std::string("first"), std::string("1.25"), std::string("memo"), int64_t{1}},
                {Value{}, Value{}, Value{}, Value{}}});
    return SaveToStream(t);
}

// Stored types that differ from the table's: a wide string, a small integer for an integer
// field, and a type code that does not exist.
std::vector<uint8_t> ForeignTypesImage() {
    ByteWriter w;
    w.WriteBytes("Ver", 3);
    w.WriteF64(1.8);
    w.WriteI32(3);
    w.WriteI32(0);
    w.WriteI16(20);
    w.WriteI16(5);
    w.WriteBytes("Name", 5);
    w.WriteI32(2);
    w.WriteI16(2);
    w.WriteI16(6);
    w.WriteBytes("Count", 6);
    w.WriteI32(3);
    w.WriteI16(42);
    w.WriteI16(4);
    w.WriteBytes("Odd", 4);
    for (int i = 0; i < 2; ++i) {
        w.WriteI32(3);
        w.WriteU8(1);
        const uint8_t wide[] = {0xac, 0x20, 'a', 0, 0x3d, 0xd8};  // euro sign, a, lone surrogate
        w.WriteBytes(wide, sizeof wide);
        w.WriteU8(1);
        w.WriteI16(static_cast<int16_t>(-i));
        w.WriteU8(1);
        w.WriteBytes("xyz", 3);
    }
    return w.Take();
}

std::map<std::string, std::vector<uint8_t>> Seeds() {
    std::map<std::string, std::vector<uint8_t>> seeds;
    auto mixed = fuzz::MakeMixedTable();
    seeds["tablestream_fuzz/mixed"] = SaveToStream(*mixed);
    mixed->SetFiltered(false);
    mixed->EmptyTable();
    seeds["tablestream_fuzz/empty"] = SaveToStream(*mixed);
    seeds["tablestream_fuzz/version0"] = VersionZeroImage();
    seeds["tablestream_fuzz/unknown_field"] = UnknownFieldImage();
    seeds["tablestream_fuzz/foreign_types"] = ForeignTypesImage();

    fuzz::SectionFile f;
    f.title = fuzz::StrictRtf("{\\rtf1\\ansi {\\b Title} of the \\'e9t\\'e9 sheet\\par}");
    f.lines = {"first line", "", "third \xe2\x82\xac"};
    SectionStream s;
    f.Stream(s);
    seeds["sectionstream_fuzz/plain"] = Prefixed(0, s.Image());
    std::vector<uint8_t> packed = s.Image();
    PackStream(packed, kPackNormal, PackDirection::Pack);
    seeds["sectionstream_fuzz/packed"] = Prefixed(1, packed);
    // Sections out of order and one of an unknown id.
    SectionStream odd;
    std::vector<std::string> lines{"only"};
    odd.StreamSection(lines, 4, "Lines");
    odd.StreamSection(*f.table, 77, "Unknown");
    odd.StreamSection(f.header, 1, "Header");
    seeds["sectionstream_fuzz/other_ids"] = Prefixed(0, odd.Image());
    return seeds;
}

std::vector<uint8_t> ReadAll(const fs::path& p) { return ReadFileBytes(p); }

TEST(FuzzInputs, SeedsAreTheWritersOutput) {
    const bool update = std::getenv("CLX_UPDATE_FUZZ_SEEDS") != nullptr;
    for (const auto& [name, bytes] : Seeds()) {
        const fs::path p = kFuzzDir / "corpus" / name;
        if (update) {
            fs::create_directories(p.parent_path());
            WriteFileAtomic(p, bytes);
        }
        ASSERT_TRUE(fs::exists(p)) << p << " is missing (CLX_UPDATE_FUZZ_SEEDS=1 writes it)";
        EXPECT_EQ(ReadAll(p), bytes) << p << " differs from what the writer produces now";
    }
}

void CheckEveryFile(const std::string& target, void (*check)(std::span<const uint8_t>)) {
    int n = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path dir = kFuzzDir / kind / target;
        if (!fs::is_directory(dir)) continue;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (!e.is_regular_file()) continue;
            const auto bytes = ReadAll(e.path());
            EXPECT_NO_THROW(check(bytes)) << e.path();
            ++n;
        }
    }
    EXPECT_GT(n, 0) << "no inputs for " << target;
}

TEST(FuzzInputs, EveryKeptTableInputPassesTheChecks) {
    CheckEveryFile("tablestream_fuzz", fuzz::CheckTableStream);
}

TEST(FuzzInputs, EveryKeptSectionInputPassesTheChecks) {
    CheckEveryFile("sectionstream_fuzz", fuzz::CheckSectionStream);
}

}  // namespace
}  // namespace clx
