#include "files/placefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "engine/places.h"
#include "files/fileio.h"
#include "files/tablestream.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

void AddPlace(MemTable& t, const std::string& place, const std::string& lat, const std::string& lon,
              int plusMinus, int hours, int mins) {
    t.Append();
    t.FieldByName("Place").SetString(place);
    t.FieldByName("Lat").SetString(lat);
    t.FieldByName("Long").SetString(lon);
    t.FieldByName("PlusMinus").SetInteger(plusMinus);
    t.FieldByName("Hours").SetInteger(hours);
    t.FieldByName("Mins").SetInteger(mins);
    t.Post();
}

class PlaceFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("clx_placefile_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        DefinePlaceFields(places);
        AddPlace(places, "Wellington", "41S17", "174E46", 1, 12, 0);
        AddPlace(places, "Reykjavík", "64N08", "21W56", 1, 0, 0);
        AddPlace(places, "St. John's", "47N34", "52W43", -1, 3, 30);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static std::vector<std::string> Names(MemTable& t) {
        std::vector<std::string> out;
        for (int i = 1; i <= t.RecordCount(); ++i) {
            t.SetRecNo(i);
            out.push_back(t.FieldByName("Place").AsString());
        }
        return out;
    }
    fs::path dir;
    MemTable places{"taPlu"};
};

TEST_F(PlaceFile, RoundTripIsByteIdentical) {
    const fs::path file = dir / std::string(kUserPlacesFile);
    SavePlaceFile(file, places);
    const std::vector<uint8_t> written = ReadFileBytes(file);
    EXPECT_EQ(written, SaveToStream(places));   // a bare table image

    MemTable back{"taPlu"};
    DefinePlaceFields(back);
    ASSERT_TRUE(ReadPlaceFile(file, back));
    EXPECT_EQ(Names(back), Names(places));
    back.SetRecNo(3);
    EXPECT_EQ(back.FieldByName("PlusMinus").AsInteger(), 1);
    EXPECT_EQ(back.FieldByName("Hours").AsInteger(), 12);

    const fs::path again = dir / std::string(kStandardPlacesFile);
    SavePlaceFile(again, back);
    EXPECT_EQ(ReadFileBytes(again), written);
}

TEST_F(PlaceFile, MissingFileLeavesTheTableAlone) {
    EXPECT_FALSE(ReadPlaceFile(dir / "absent.dat", places));
    EXPECT_EQ(places.RecordCount(), 3);
}

TEST_F(PlaceFile, DamagedFileIsRefusedAndTheTableKept) {
    const std::vector<uint8_t> image = SaveToStream(places);
    MemTable other{"taPll"};
    DefinePlaceFields(other);
    AddPlace(other, "Keep me", "1N", "1E", 1, 0, 0);

    for (size_t size : {size_t{0}, size_t{5}, image.size() - 3}) {
        const fs::path file = dir / "pll.dat";
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(size));
        try {
            ReadPlaceFile(file, other);
            ADD_FAILURE() << "accepted a file cut to " << size << " bytes";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find("pll.dat"), std::string::npos) << e.what();
        }
        EXPECT_EQ(Names(other), std::vector<std::string>{"Keep me"});
    }
}

}  // namespace
}  // namespace clx
