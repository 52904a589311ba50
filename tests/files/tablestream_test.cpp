#include "files/tablestream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "../../fuzz/stream_checks.h"
#include "files/bytestream.h"
#include "platform/datetime.h"

namespace clx {
namespace {

using Bytes = std::vector<uint8_t>;

// "01 ff 'ab'" style: hex bytes, and quoted characters.
Bytes Hex(std::string_view s) {
    Bytes out;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == ' ' || s[i] == '\n') {
            ++i;
        } else if (s[i] == '\'') {
            for (++i; s[i] != '\''; ++i) out.push_back(static_cast<uint8_t>(s[i]));
            ++i;
        } else {
            out.push_back(static_cast<uint8_t>(std::stoi(std::string(s.substr(i, 2)), nullptr, 16)));
            i += 2;
        }
    }
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Zeros(size_t n) { return Bytes(n, 0); }

// One field of every type the program's tables use, and a calculated field that is not stored.
std::unique_ptr<MemTable> EveryTypeTable() {
    auto t = std::make_unique<MemTable>("taAll");
    t->AddField("N", FieldType::String, 3);
    t->AddField("S", FieldType::SmallInt);
    t->AddField("I", FieldType::Integer);
    t->AddField("W", FieldType::Word);
    t->AddField("B", FieldType::Boolean);
    t->AddField("F", FieldType::Float);
    t->AddField("C", FieldType::Currency);
    t->AddField("D", FieldType::BCD, 2);
    t->AddField("Dt", FieldType::Date);
    t->AddField("T", FieldType::Time);
    t->AddField("Ts", FieldType::DateTime);
    t->AddField("A", FieldType::AutoInc);
    t->AddField("Bl", FieldType::Blob);
    t->AddField("M", FieldType::Memo);
    t->AddField("L", FieldType::LargeInt);
    t->AddField("X", FieldType::Integer, 0, FieldKind::Calculated);
    return t;
}

TEST(TableStream, LayoutOfEveryTypeByteForByte) {
    auto t = EveryTypeTable();
    t->LoadRows({
        {std::string("ab"), int64_t{-2}, int64_t{70000}, int64_t{65535}, true, 1.5, 2.25, std::string("-1.5"),
         EncodeDate(2000, 1, 1), EncodeTime(12, 0, 0), EncodeDate(2000, 1, 1) + 0.25, int64_t{5},
         std::string("\x00\x01", 2), std::string("\xc3\xa9"), int64_t{-1}},
        {Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{},
         Value{}, Value{}, Value{}},
    });
    const Bytes expected = Cat({
        Hex("'Ver' cd cc cc cc cc cc fc 3f  0f 00 00 00"),  // version 1.8, 15 stored fields
        // data size, type code, name length + 1, name and zero
        Hex("04 00 00 00  01 00  02 00 'N' 00"),
        Hex("02 00 00 00  02 00  02 00 'S' 00"),
        Hex("04 00 00 00  03 00  02 00 'I' 00"),
        Hex("02 00 00 00  04 00  02 00 'W' 00"),
        Hex("02 00 00 00  05 00  02 00 'B' 00"),
        Hex("08 00 00 00  06 00  02 00 'F' 00"),
        Hex("08 00 00 00  07 00  02 00 'C' 00"),
        Hex("22 00 00 00  08 00  02 00 'D' 00"),
        Hex("04 00 00 00  09 00  03 00 'Dt' 00"),
        Hex("04 00 00 00  0a 00  02 00 'T' 00"),
        Hex("08 00 00 00  0b 00  03 00 'Ts' 00"),
        Hex("04 00 00 00  0c 00  02 00 'A' 00"),
        Hex("00 00 00 00  0d 00  03 00 'Bl' 00"),
        Hex("00 00 00 00  0e 00  02 00 'M' 00"),
        Hex("08 00 00 00  15 00  02 00 'L' 00"),
        // row 1
        Hex("03 00 00 00 'ab' 00"),
        Hex("01 fe ff"),
        Hex("01 70 11 01 00"),
        Hex("01 ff ff"),
        Hex("01 01 00"),
        Hex("01 00 00 00 00 00 00 f8 3f"),
        Hex("01 00 00 00 00 00 00 02 40"),
        // BCD -1.50: precision 32, negative with 2 places, digits 000...0150
        Hex("01 20 82"), Zeros(14), Hex("01 50"), Zeros(16),
        Hex("01 08 24 0b 00"),               // day 730120
        Hex("01 00 2e 93 02"),               // 43200000 ms
        Hex("01 00 80 3b b6 c1 af cc 42"),   // 730120 days and 6 hours in ms
        Hex("01 05 00 00 00"),
        Hex("02 00 00 00 00 01"),
        Hex("01 00 00 00 e9"),               // single-byte text
        Hex("01 ff ff ff ff ff ff ff ff"),
        // row 2: nulls; the auto-increment field was numbered on load
        Hex("01 00 00 00 00"),
        Hex("00 00 00"), Hex("00"), Zeros(4), Hex("00 00 00"), Hex("00 00 00"),
        Hex("00"), Zeros(8), Hex("00"), Zeros(8), Hex("00"), Zeros(34),
        Hex("00"), Zeros(4), Hex("00"), Zeros(4), Hex("00"), Zeros(8),
        Hex("01 06 00 00 00"),
        Hex("00 00 00 00"), Hex("00 00 00 00"),
        Hex("00"), Zeros(8),
    });
    const Bytes image = SaveToStream(*t);
    EXPECT_EQ(image, expected);

    auto back = EveryTypeTable();
    LoadFromStream(*back, image);
    ASSERT_EQ(back->RecordCount(), 2);
    EXPECT_EQ(back->RowValues(0), t->RowValues(0));
    EXPECT_EQ(back->FieldByName("D").AsString(), "-1.50");
    EXPECT_EQ(back->FieldByName("M").AsString(), "\xc3\xa9");
    back->Next();
    for (const auto& d : back->Fields())
        if (d.name != "A") {
            EXPECT_TRUE(back->FieldByName(d.name).IsNull()) << d.name;
        }
    EXPECT_EQ(SaveToStream(*back), image);
}

TEST(TableStream, EmptyTableWritesTheHeaderAndDescriptorsOnly) {
    MemTable t;
    t.AddField("Name", FieldType::String, 10);
    const Bytes image = SaveToStream(t);
    EXPECT_EQ(image, Hex("'Ver' cd cc cc cc cc cc fc 3f 01 00 00 00  0b 00 00 00 01 00 05 00 'Name' 00"));
    t.LoadRows({{std::string("old")}});
    LoadFromStream(t, image);
    EXPECT_TRUE(t.IsEmpty());
}

TEST(TableStream, RoundTripKeepsHiddenRowsAndRecomputesCalculatedFields) {
    auto t = fuzz::MakeMixedTable();
    ASSERT_EQ(t->RecordCount(), 1);  // the filter hides one of the two rows
    const Bytes image = SaveToStream(*t);

    auto back = fuzz::MakeMixedTable();
    back->SetFiltered(false);
    back->EmptyTable();
    LoadFromStream(*back, image);
    ASSERT_EQ(back->RecordCount(), 2);
    EXPECT_EQ(SaveToStream(*back), image);
    back->SetSortField("");
    back->First();
    for (; !back->Eof(); back->Next())
        if (!back->FieldByName("Amount").IsNull()) {
            EXPECT_EQ(back->FieldByName("Twice").AsFloat(), 5.0);
        }
    EXPECT_EQ(back->RowValues(0)[0], t->RowValues(0)[0]);  // the filter still sees them after the save
    EXPECT_EQ(t->RecordCount(), 1);
}

TEST(TableStream, RowsAreNumberedInReadingOrderAndSorted) {
    MemTable src;
    src.AddField("Name", FieldType::String, 5);
    src.LoadRows({{std::string("c")}, {std::string("a")}, {std::string("b")}});
    MemTable t;
    t.AddField("Name", FieldType::String, 5);
    t.SetSortField("Name");
    t.LoadRows({{std::string("x")}, {std::string("y")}, {std::string("z")}, {std::string("w")}});
    LoadFromStream(t, SaveToStream(src));
    ASSERT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(t.RecNo(), 1);
    std::vector<std::pair<std::string, int64_t>> rows;
    for (t.First(); !t.Eof(); t.Next()) rows.emplace_back(t.FieldByName("Name").AsString(), t.RecordNumber());
    EXPECT_EQ(rows, (std::vector<std::pair<std::string, int64_t>>{{"a", 2}, {"b", 3}, {"c", 1}}));
}

TEST(TableStream, VersionZeroHasNoPresenceBytes) {
    // No "Ver": the field count comes first and fixed values follow without presence bytes.
    const Bytes image = Cat({
        Hex("03 00 00 00"),
        Hex("06 00 00 00 01 00 05 00 'Name' 00"),
        Hex("04 00 00 00 03 00 06 00 'Count' 00"),
        Hex("02 00 00 00 05 00 03 00 'On' 00"),
        Hex("04 00 00 00 'abc' 00  2a 00 00 00  01 00"),
        Hex("01 00 00 00 00        00 00 00 00  00 00"),
    });
    MemTable t;
    t.AddField("Name", FieldType::String, 5);
    t.AddField("Count", FieldType::Integer);
    t.AddField("On", FieldType::Boolean);
    LoadFromStream(t, image);
    ASSERT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(t.RowValues(0), (std::vector<Value>{std::string("abc"), int64_t{42}, true}));
    EXPECT_EQ(t.RowValues(1), (std::vector<Value>{Value{}, int64_t{0}, false}));
}

TEST(TableStream, VersionBelowOneReadsLikeOne) {
    const Bytes image = Cat({Hex("'Ver' 00 00 00 00 00 00 00 00  01 00 00 00  04 00 00 00 03 00 02 00 'I' 00"),
                             Hex("00 ff ff ff ff  01 07 00 00 00")});
    MemTable t;
    t.AddField("I", FieldType::Integer);
    LoadFromStream(t, image);
    ASSERT_EQ(t.RecordCount(), 2);
    EXPECT_TRUE(t.FieldByName("I").IsNull());
    t.Next();
    EXPECT_EQ(t.FieldByName("I").AsInteger(), 7);
}

// An image with fields "Before", the given stored field "Gone" and "After", one row.
Bytes WithStoredField(int32_t size, int16_t code, const Bytes& value) {
    return Cat({Hex("'Ver' cd cc cc cc cc cc fc 3f 03 00 00 00"),
                Hex("04 00 00 00 03 00 07 00 'Before' 00"),
                [&] {
                    ByteWriter w;
                    w.WriteI32(size);
                    w.WriteI16(code);
                    w.WriteI16(5);
                    w.WriteBytes("Gone", 5);
                    return w.Take();
                }(),
                Hex("04 00 00 00 03 00 06 00 'After' 00"),
                Hex("01 0b 00 00 00"), value, Hex("01 16 00 00 00")});
}

TEST(TableStream, StoredFieldsTheTableLacksAreSkippedBySize) {
    struct Case {
        const char* what;
        int32_t size;
        int16_t code;
        Bytes value;
    } cases[] = {
        {"string", 9, 1, Hex("06 00 00 00 'hello' 00")},
        {"small integer", 2, 2, Hex("01 05 00")},
        {"BCD", 34, 8, Cat({Hex("01 20 04"), Zeros(32)})},
        {"date-time", 8, 11, Hex("01 00 00 00 00 00 00 00 00")},
        {"blob", 0, 13, Hex("03 00 00 00 01 02 03")},
        {"graphic", 0, 15, Hex("02 00 00 00 01 02")},
        {"typed binary", 0, 19, Hex("00 00 00 00")},
        {"wide string", 0, 20, Hex("02 00 00 00 01 'h' 00 'i' 00")},
        {"null wide string", 0, 20, Hex("00 00 00 00")},
        {"unknown type", 3, 99, Hex("01 aa bb cc")},
        {"null of an unknown type", 3, 99, Hex("00 00 00 00")},
        {"stored data size beyond the type", 12, 3, Cat({Hex("01"), Zeros(12)})},
    };
    for (const auto& c : cases) {
        MemTable t;
        t.AddField("Before", FieldType::Integer);
        t.AddField("After", FieldType::Integer);
        t.AddField("New", FieldType::String, 4);
        ASSERT_NO_THROW(LoadFromStream(t, WithStoredField(c.size, c.code, c.value))) << c.what;
        ASSERT_EQ(t.RecordCount(), 1) << c.what;
        EXPECT_EQ(t.RowValues(0), (std::vector<Value>{int64_t{11}, int64_t{22}, Value{}})) << c.what;
    }
}

TEST(TableStream, MatchedFieldsFollowTheStoredSizeAndType) {
    struct Case {
        const char* what;
        FieldType type;
        int size;
        int32_t storedSize;
        int16_t code;
        Bytes value;
        Value expected;
        const char* tableName = "Gone";
    } cases[] = {
        {"name matched without regard to case", FieldType::Integer, 0, 4, 3, Hex("01 09 00 00 00"), int64_t{9},
         "gONE"},
        {"stored string longer than the field is cut", FieldType::String, 3, 9, 1, Hex("06 00 00 00 'hello' 00"),
         std::string("hel")},
        {"string ends at its zero byte", FieldType::String, 8, 9, 1, Hex("05 00 00 00 'ab' 00 'c' 00"),
         std::string("ab")},
        {"string of length 1 is null", FieldType::String, 8, 9, 1, Hex("01 00 00 00 00"), Value{}},
        {"string of length 0 is null", FieldType::String, 8, 9, 1, Hex("00 00 00 00"), Value{}},
        {"single-byte text becomes UTF-8", FieldType::String, 8, 9, 1, Hex("04 00 00 00 80 e9 9f 00"),
         std::string("\xe2\x82\xac\xc3\xa9\xc5\xb8")},
        {"empty memo is null", FieldType::Memo, 0, 0, 14, Hex("00 00 00 00"), Value{}},
        {"blob keeps zero bytes", FieldType::Blob, 0, 0, 13, Hex("03 00 00 00 00 e9 00"),
         std::string("\x00\xe9\x00", 3)},
        {"integer stored in two bytes", FieldType::Integer, 0, 2, 3, Hex("01 ff ff"), int64_t{65535}},
        {"integer stored in eight bytes", FieldType::Integer, 0, 8, 3, Hex("01 fe ff ff ff 01 02 03 04"),
         int64_t{-2}},
        {"small integer into an integer field", FieldType::Integer, 0, 2, 2, Hex("01 fe ff"), int64_t{-2}},
        {"boolean is true when non-zero", FieldType::Boolean, 0, 2, 5, Hex("01 00 01"), true},
        {"null presence byte", FieldType::Float, 0, 8, 6, Cat({Hex("00"), Zeros(8)}), Value{}},
        {"any non-zero presence byte", FieldType::Integer, 0, 4, 3, Hex("ff 03 00 00 00"), int64_t{3}},
        {"wide string into a string field", FieldType::String, 8, 0, 20, Hex("02 00 00 00 01 ac 20 'a' 00"),
         std::string("\xe2\x82\xac" "a")},
        {"wide string outside the code page", FieldType::String, 8, 0, 20, Hex("02 00 00 00 01 2d 4e 'a' 00"),
         std::string("?a")},
        {"wide string ends at a zero", FieldType::String, 8, 0, 20, Hex("03 00 00 00 01 'a' 00 00 00 'b' 00"),
         std::string("a")},
        {"wide memo keeps a zero", FieldType::Memo, 0, 0, 20, Hex("03 00 00 00 01 'a' 00 00 00 'b' 00"),
         std::string("a\0b", 3)},
        {"BCD rounded to the field's places", FieldType::BCD, 2, 34, 8,
         Cat({Hex("01 20 03"), Zeros(13), Hex("01 23 45"), Zeros(16)}), std::string("12.35")},
        {"BCD of another precision", FieldType::BCD, 4, 34, 8, Cat({Hex("01 05 02 12 34 50"), Zeros(29)}),
         std::string("123.4500")},
    };
    for (const auto& c : cases) {
        MemTable t;
        t.AddField("Before", FieldType::Integer);
        t.AddField("After", FieldType::Integer);
        t.AddField(c.tableName, c.type, c.size);
        ASSERT_NO_THROW(LoadFromStream(t, WithStoredField(c.storedSize, c.code, c.value))) << c.what;
        ASSERT_EQ(t.RecordCount(), 1) << c.what;
        EXPECT_EQ(t.RowValues(0), (std::vector<Value>{int64_t{11}, int64_t{22}, c.expected})) << c.what;
    }
}

TEST(TableStream, DatesAndTimesUseDayNumbersAndMilliseconds) {
    MemTable t;
    t.AddField("Day", FieldType::Date);
    t.AddField("At", FieldType::Time);
    t.AddField("Stamp", FieldType::DateTime);
    const double lateEvening = EncodeTime(23, 59, 59, 999) + 0.6 / 86400000;  // rounds to the next day
    t.LoadRows({
        {EncodeDate(1, 1, 1), EncodeTime(0, 0, 0, 1), ComposeDateTime(EncodeDate(1, 1, 1), EncodeTime(0, 0, 0, 1))},
        {EncodeDate(9999, 12, 31), lateEvening, EncodeDate(2020, 5, 1) + lateEvening},
        {Value{}, Value{}, -1.25},  // 29 December 1899, 06:00
    });
    const Bytes image = SaveToStream(t);
    ByteReader r(image);
    r.Skip(3 + 8 + 4 + (8 + 4) + (8 + 3) + (8 + 6));
    auto fixed = [&](size_t n) {
        EXPECT_EQ(r.ReadU8(), 1);
        return r.ReadBytes(n);
    };
    auto i32 = [](std::span<const uint8_t> b) { return int32_t(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24); };
    auto f64 = [](std::span<const uint8_t> b) {
        double d;
        std::memcpy(&d, b.data(), 8);
        return d;
    };
    EXPECT_EQ(i32(fixed(4)), 1);
    EXPECT_EQ(i32(fixed(4)), 1);
    EXPECT_EQ(f64(fixed(8)), 86400000.0 + 1);
    EXPECT_EQ(i32(fixed(4)), 3652059);
    EXPECT_EQ(i32(fixed(4)), 86399999);  // a time stays within its day
    EXPECT_EQ(f64(fixed(8)), (43952.0 + 693594 + 1) * 86400000.0);
    r.Skip(10);
    EXPECT_EQ(f64(fixed(8)), (693594.0 - 1) * 86400000.0 + 21600000);

    MemTable back;
    back.AddField("Day", FieldType::Date);
    back.AddField("At", FieldType::Time);
    back.AddField("Stamp", FieldType::DateTime);
    LoadFromStream(back, SaveToStream(t));
    back.Last();
    EXPECT_DOUBLE_EQ(back.FieldByName("Stamp").AsDateTime(), -1.25);
    back.First();
    EXPECT_EQ(back.FieldByName("Day").AsDateTime(), EncodeDate(1, 1, 1));
    EXPECT_EQ(SaveToStream(back), SaveToStream(t));
}

TEST(TableStream, BcdRecords) {
    struct Case {
        const char* text;
        int places;
        const char* decoded;
    } cases[] = {
        {"0", 4, "0.0000"},
        {"-0.00001", 4, "0.0000"},  // rounds to zero: no negative zero
        {"-12.34", 4, "-12.3400"},
        {"0.00005", 4, "0.0001"},
        {"-9.995", 2, "-10.00"},
        {"1234567890123456789012345678", 4, "1234567890123456789012345678.0000"},
        {"7", 0, "7"},
        {".5", 32, "0.50000000000000000000000000000000"},
    };
    for (const auto& c : cases) {
        const auto rec = EncodeBcd(c.text, c.places);
        EXPECT_EQ(rec[0], 32) << c.text;
        EXPECT_EQ(rec[1] & 0x3F, c.places) << c.text;
        EXPECT_EQ(DecodeBcd(rec), c.decoded) << c.text;
        EXPECT_TRUE(std::all_of(rec.begin() + 18, rec.end(), [](uint8_t b) { return b == 0; })) << c.text;
    }
    EXPECT_THROW(EncodeBcd("12345678901234567890123456789", 4), StreamError);  // 29 integer digits
    EXPECT_THROW(EncodeBcd("1e5", 4), StreamError);
    EXPECT_THROW(EncodeBcd("", 4), StreamError);

    std::array<uint8_t, 34> bad{};
    bad[0] = 65;
    EXPECT_THROW(DecodeBcd(bad), StreamError);  // more than 64 digits
    bad[0] = 2;
    bad[1] = 3;
    EXPECT_THROW(DecodeBcd(bad), StreamError);  // more places than digits
    bad[1] = 0;
    bad[2] = 0x1a;
    EXPECT_THROW(DecodeBcd(bad), StreamError);  // a nibble above 9
    EXPECT_THROW(DecodeBcd(std::span(bad).first(33)), StreamError);
}

class DamagedImage : public ::testing::Test {
protected:
    void SetUp() override {
        table = fuzz::MakeMixedTable();
        before = SaveToStream(*table);
    }
    void ExpectRefused(const Bytes& image, const std::string& message = {}) {
        try {
            LoadFromStream(*table, image);
            ADD_FAILURE() << "the image was accepted";
        } catch (const StreamError& e) {
            if (!message.empty()) {
                EXPECT_EQ(e.what(), message);
            }
        }
        EXPECT_EQ(SaveToStream(*table), before) << "the table changed";
        EXPECT_EQ(table->RecordCount(), 1);
    }
    std::unique_ptr<MemTable> table;
    Bytes before;
};

TEST_F(DamagedImage, NameLengthOver255IsIncorrectData) {
    ExpectRefused(Hex("'Ver' cd cc cc cc cc cc fc 3f 01 00 00 00 04 00 00 00 03 00 00 01"), "The data is incorrect");
    ExpectRefused(Hex("'Ver' cd cc cc cc cc cc fc 3f 01 00 00 00 04 00 00 00 03 00 ff ff"), "The data is incorrect");
}

TEST_F(DamagedImage, ImpossibleValuesAreRefused) {
    const Bytes header = Hex("'Ver' cd cc cc cc cc cc fc 3f 01 00 00 00");
    auto one = [&](const char* descriptor, const Bytes& value) { return Cat({header, Hex(descriptor), value}); };
    ExpectRefused(one("04 00 00 00 09 00 04 00 'Day' 00", Hex("01 00 00 00 00")));          // day 0
    ExpectRefused(one("04 00 00 00 09 00 04 00 'Day' 00", Hex("01 dc b9 37 00")));          // year 10000
    ExpectRefused(one("04 00 00 00 0a 00 03 00 'At' 00", Hex("01 00 5c 26 05")));           // 24:00
    ExpectRefused(one("08 00 00 00 0b 00 06 00 'Stamp' 00", Hex("01 00 00 00 00 00 00 f8 7f")));  // NaN
    ExpectRefused(one("08 00 00 00 06 00 07 00 'Amount' 00", Hex("01 00 00 00 00 00 00 f0 7f")));  // infinity
    ExpectRefused(one("22 00 00 00 08 00 05 00 'Rate' 00", Cat({Hex("01 20 04 ff"), Zeros(31)})));
    ExpectRefused(one("04 00 00 00 03 00 06 00 'Small' 00", Hex("01 00 00 01 00")));     // 65536 in a small integer
    ExpectRefused(one("00 00 00 00 01 00 05 00 'Name' 00", Hex("ff ff ff ff")));            // negative length
    ExpectRefused(one("00 00 00 00 01 00 05 00 'Name' 00", Hex("10 00 00 00 'abc'")));      // length beyond the end
    ExpectRefused(Hex("'Ver' cd cc cc cc cc cc fc 3f ff ff ff ff"));                       // negative field count
}

TEST_F(DamagedImage, RowsThatTakeNoBytesAreRefused) {
    // Version 0 has no presence bytes: a row of zero-sized values would never end.
    ExpectRefused(Hex("01 00 00 00 00 00 00 00 03 00 06 00 'Count' 00 00"));
}

TEST_F(DamagedImage, ATableBeingEditedIsNotLoaded) {
    table->Edit();
    EXPECT_THROW(LoadFromStream(*table, SaveToStream(*fuzz::MakeMixedTable())), TableError);
    EXPECT_EQ(table->State(), TableState::Edit);
    table->Cancel();
    EXPECT_EQ(SaveToStream(*table), before);
}

TEST_F(DamagedImage, EveryTruncationIsRefusedOrEndsOnARowBoundary) {
    auto src = fuzz::MakeMixedTable();
    src->SetFiltered(false);
    src->SetSortField("");
    src->LoadRows({{std::string("a"), int64_t{1}, int64_t{2}, true, 1.0, 2.0, std::string("3"), 4.0, 0.5, 5.5, int64_t{9},
                    std::string("b"), std::string("c"), int64_t{3}, int64_t{4}},
                   {std::string("bb"), Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{},
                    Value{}, Value{}, Value{}, Value{}, Value{}},
                   {Value{}, int64_t{5}, Value{}, false, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{},
                    Value{}, Value{}, Value{}, Value{}}});
    const Bytes full = SaveToStream(*src);
    // Where the rows start and end: the images of the table with its first 0, 1, 2, 3 rows.
    std::set<size_t> boundaries;
    for (int rows = 0; rows <= 3; ++rows) {
        MemTable part;
        part.CopyStructureFrom(*src);
        for (int i = 0; i < rows; ++i) part.AppendRaw(src->RowValues(i));
        boundaries.insert(SaveToStream(part).size());
    }
    ASSERT_EQ(*boundaries.rbegin(), full.size());
    for (size_t len = 0; len < full.size(); ++len) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len));
        if (boundaries.count(len)) {
            MemTable plain;
            plain.CopyStructureFrom(*src);
            ASSERT_NO_THROW(LoadFromStream(plain, cut)) << len;
            EXPECT_EQ(SaveToStream(plain), cut) << len;
        } else {
            ExpectRefused(cut);
        }
    }
}

}  // namespace
}  // namespace clx
