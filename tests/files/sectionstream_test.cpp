#include "files/sectionstream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "../../fuzz/stream_checks.h"
#include "files/tablestream.h"

namespace clx {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header(int32_t id, int32_t size) {
    ByteWriter w;
    w.WriteI32(id);
    w.WriteI32(0);
    w.WriteI32(size);
    w.WriteBytes("\x07" "1234567", 8);
    w.WriteZeros(12);
    return w.Take();
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(SectionStream, HeaderLayoutAndPayloadKinds) {
    SectionStream s;
    std::array<uint8_t, 3> rec{1, 2, 3};
    std::vector<std::string> lines{"one", "", "caf\xc3\xa9"};
    RtfBytes rtf("{\\rtf1 x}");
    MemTable t;
    t.AddField("N", FieldType::Integer);
    t.LoadRows({{int64_t{4}}});
    EXPECT_EQ(s.StreamSection(rec, 7, "Header"), SectionResult::Written);
    s.StreamSection(lines, -2, "Lines");
    s.StreamSection(rtf, 300, "Title");
    s.StreamSection(t, 9, "Table");
    const Bytes image = SaveToStream(t);
    EXPECT_EQ(s.Image(), Cat({Header(7, 3), Bytes{1, 2, 3},
                              Header(-2, 13), Text("one\r\n\r\ncaf\xe9\r\n"),
                              Header(300, 9), Text("{\\rtf1 x}"),
                              Header(9, static_cast<int32_t>(image.size())), image}));
}

// A file with a record, a table, rich text, lines and another record, read into fresh objects.
class SectionFile : public ::testing::Test {
protected:
    Bytes Written() {
        fuzz::SectionFile f;
        f.header.fill(0x11);
        f.table->SetFiltered(false);
        f.table->EmptyTable();
        f.table->AppendRaw({std::string("new"), Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{},
                            Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}});
        f.title = fuzz::StrictRtf("{\\rtf1 new}");
        f.lines = {"new"};
        f.second->SetFiltered(false);
        f.second->EmptyTable();
        f.tail = {1, 1, 1, 1};
        SectionStream s;
        f.Stream(s);
        return s.TakeImage();
    }
    // Which of the six objects still hold what they held before the read.
    std::vector<bool> Kept(const fuzz::SectionFile& f) {
        fuzz::SectionFile fresh;
        return {f.header == fresh.header, SaveToStream(*f.table) == SaveToStream(*fresh.table),
                f.title.Rtf() == fresh.title.Rtf(), f.lines == fresh.lines,
                SaveToStream(*f.second) == SaveToStream(*fresh.second), f.tail == fresh.tail};
    }
};

TEST_F(SectionFile, RoundTripReplacesEveryObject) {
    const Bytes image = Written();
    fuzz::SectionFile f;
    SectionStream in(image);
    for (SectionResult r : f.Stream(in)) EXPECT_EQ(r, SectionResult::Loaded);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(Kept(f), std::vector<bool>(6, false));
    EXPECT_EQ(f.lines, std::vector<std::string>{"new"});
    EXPECT_EQ(f.table->FieldByName("Name").AsString(), "new");
    SectionStream out;
    f.Stream(out);
    EXPECT_EQ(out.Image(), image);
}

TEST_F(SectionFile, AFileThatEndsEarlyLeavesTheRestAsItWas) {
    const Bytes image = Written();
    // Section boundaries: where each of the six sections ends.
    std::vector<size_t> ends;
    for (size_t pos = 0; pos < image.size();) {
        int32_t size;
        std::memcpy(&size, image.data() + pos + 8, 4);
        pos += kSectionHeaderSize + static_cast<size_t>(size);
        ends.push_back(pos);
    }
    ASSERT_EQ(ends.size(), 6u);
    for (size_t len = 0; len < image.size(); ++len) {
        fuzz::SectionFile f;
        SectionStream in(Bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(len)));
        const auto results = f.Stream(in);
        const auto kept = Kept(f);
        for (size_t i = 0; i < 6; ++i) {
            const bool complete = len >= ends[i];
            EXPECT_EQ(results[i] == SectionResult::Loaded, complete) << "length " << len << " section " << i;
            EXPECT_EQ(kept[i], !complete) << "length " << len << " section " << i;
        }
    }
}

TEST_F(SectionFile, WrongIdsAreSkippedAndTheFollowingSectionsLoad) {
    SectionStream s;
    std::array<uint8_t, 24> header;
    header.fill(0x22);
    std::vector<std::string> stray{"stray"};
    s.StreamSection(header, 1, "Header");
    s.StreamSection(stray, 20, "Not the table");  // where the table belongs
    RtfBytes title("{\\rtf1 new}");
    s.StreamSection(title, 3, "Title");
    const Bytes image = s.TakeImage();

    fuzz::SectionFile f;
    SectionStream in(image);
    EXPECT_EQ(f.Stream(in), (std::vector<SectionResult>{SectionResult::Loaded, SectionResult::OtherId,
                                                         SectionResult::Loaded, SectionResult::End,
                                                         SectionResult::End, SectionResult::End}));
    EXPECT_EQ(Kept(f), (std::vector<bool>{false, true, false, true, true, true}));
    EXPECT_EQ(f.title.Rtf(), "{\\rtf1 new}");
}

TEST_F(SectionFile, DamagedSectionsAreSkippedSilently) {
    fuzz::SectionFile src;
    src.lines = {"new"};
    src.tail = {3, 3, 3, 3};
    // A table image whose first field name is 256 bytes long, and text that is not RTF.
    const Bytes badTable = Cat({Text("Ver"), Bytes{0xcd, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xfc, 0x3f},
                                Bytes{1, 0, 0, 0, 4, 0, 0, 0, 3, 0, 0, 1}, Bytes(256, 'a')});
    const Bytes notRtf = Text("plain text");
    SectionStream s;
    s.StreamSection(src.header, 1, "Header");
    Bytes image = s.TakeImage();
    image = Cat({image, Header(2, static_cast<int32_t>(badTable.size())), badTable,
                 Header(3, static_cast<int32_t>(notRtf.size())), notRtf});
    SectionStream rest;
    rest.StreamSection(src.lines, 4, "Lines");
    rest.StreamSection(*src.second, 5, "Second");
    rest.StreamSection(src.tail, 6, "Tail");
    image = Cat({image, rest.Image()});

    fuzz::SectionFile f;
    SectionStream in(image);
    std::vector<std::string> errors;
    const auto results = f.Stream(in);
    EXPECT_EQ(results, (std::vector<SectionResult>{SectionResult::Loaded, SectionResult::Damaged,
                                                   SectionResult::Damaged, SectionResult::Loaded,
                                                   SectionResult::Loaded, SectionResult::Loaded}));
    EXPECT_EQ(Kept(f), (std::vector<bool>{true, true, true, false, true, false}));

    // The reader says why the last section it tried was damaged.
    SectionStream again(image);
    fuzz::SectionFile g;
    again.StreamSection(g.header, 1, "Header");
    EXPECT_EQ(again.LastError(), "");
    again.StreamSection(*g.table, 2, "Table");
    EXPECT_EQ(again.LastError(), "Table: The data is incorrect");
}

TEST(SectionStream, RawPayloadsShorterOrLongerThanTheRecord) {
    const Bytes image = Cat({Header(1, 2), Bytes{7, 8}, Header(1, 6), Bytes{1, 2, 3, 4, 5, 6}, Header(1, 0)});
    SectionStream in(image);
    std::array<uint8_t, 4> rec{9, 9, 9, 9};
    EXPECT_EQ(in.StreamSection(rec, 1, "Short"), SectionResult::Loaded);
    EXPECT_EQ(rec, (std::array<uint8_t, 4>{7, 8, 9, 9}));
    EXPECT_EQ(in.StreamSection(rec, 1, "Long"), SectionResult::Loaded);
    EXPECT_EQ(rec, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(in.StreamSection(rec, 1, "Empty"), SectionResult::Empty);
    EXPECT_EQ(rec, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(in.StreamSection(rec, 1, "After the end"), SectionResult::End);
}

TEST(SectionStream, BrokenHeaders) {
    std::array<uint8_t, 4> rec{9, 9, 9, 9};
    const std::array<uint8_t, 4> untouched = rec;
    const Bytes header = Header(1, 4);
    struct Case {
        const char* what;
        Bytes image;
        SectionResult result;
    } cases[] = {
        {"header cut short", Bytes(header.begin(), header.begin() + 20), SectionResult::Damaged},
        {"payload beyond the end", Cat({Header(1, 100), Bytes{1, 2}}), SectionResult::Damaged},
        {"negative size", Cat({Header(1, -5), Bytes{1, 2, 3, 4, 5}}), SectionResult::Damaged},
        {"other id beyond the end", Cat({Header(2, 100000), Bytes{1}}), SectionResult::OtherId},
    };
    for (const auto& c : cases) {
        SectionStream in(c.image);
        auto r = rec;
        EXPECT_EQ(in.StreamSection(r, 1, "Record"), c.result) << c.what;
        EXPECT_EQ(r, untouched) << c.what;
        EXPECT_TRUE(in.AtEnd()) << c.what;
        EXPECT_EQ(in.StreamSection(r, 1, "Next"), SectionResult::End) << c.what;
    }
}

TEST(SectionStream, LinesEndAtAnyLineBreak) {
    struct Case {
        std::string_view payload;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\rc\r\n\r\n", {"a", "b", "c", ""}},
        {"\r\n", {""}},
        {"\xe9\x80", {"\xc3\xa9\xe2\x82\xac"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeLines(Text(c.payload)), c.lines) << c.payload;
    EXPECT_EQ(EncodeLines({"\xe2\x82\xac", "\xe4\xb8\xad"}), Text("\x80\r\n?\r\n"));  // no such character: ?
}

TEST(PackStream, RoundTripAtEveryLevel) {
    Bytes data;
    for (int i = 0; i < 20000; ++i) data.push_back(static_cast<uint8_t>((i * 7) % 13 + (i / 1000)));
    for (int level = 0; level < 5; ++level) {
        Bytes b = data;
        PackStream(b, level, PackDirection::Pack);
        if (level == kPackStored) {
            EXPECT_EQ(b, data);
        } else {
            EXPECT_LT(b.size(), data.size() / 4) << level;
        }
        PackStream(b, level, PackDirection::Unpack);
        EXPECT_EQ(b, data) << level;
    }
    Bytes empty;
    PackStream(empty, kPackNormal, PackDirection::Pack);
    PackStream(empty, kPackNormal, PackDirection::Unpack);
    EXPECT_TRUE(empty.empty());
    EXPECT_THROW(PackStream(data, 5, PackDirection::Pack), StreamError);
    EXPECT_THROW(PackStream(data, -1, PackDirection::Unpack), StreamError);
}

TEST(PackStream, WritesRawDeflateAtTheNormalLevel) {
    const Bytes data = Text(std::string(5000, 'x') + "tail");
    Bytes packed = data;
    PackStream(packed, kPackNormal, PackDirection::Pack);
    // zlib's own raw inflate reads it, and level 6 gives exactly its output.
    Bytes out(data.size());
    z_stream z{};
    ASSERT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = packed.data();
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    inflateEnd(&z);
    EXPECT_EQ(out, data);
    Bytes six(compressBound(static_cast<uLong>(data.size())) + 64);
    z_stream d{};
    ASSERT_EQ(deflateInit2(&d, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    d.next_in = const_cast<Bytef*>(data.data());
    d.avail_in = static_cast<uInt>(data.size());
    d.next_out = six.data();
    d.avail_out = static_cast<uInt>(six.size());
    ASSERT_EQ(deflate(&d, Z_FINISH), Z_STREAM_END);
    six.resize(d.total_out);
    deflateEnd(&d);
    EXPECT_EQ(packed, six);
}

TEST(PackStream, DamagedOrOversizedInputIsAnErrorAndLeavesTheBuffer) {
    Bytes data(1 << 20, 0);
    data.back() = 1;
    Bytes packed = data;
    PackStream(packed, kPackNormal, PackDirection::Pack);

    Bytes exact = packed;
    PackStream(exact, kPackNormal, PackDirection::Unpack, data.size());
    EXPECT_EQ(exact, data);
    Bytes over = packed;
    EXPECT_THROW(PackStream(over, kPackNormal, PackDirection::Unpack, data.size() - 1), StreamError);
    EXPECT_EQ(over, packed);

    Bytes text;
    for (int i = 0; i < 3000; ++i) text.push_back(static_cast<uint8_t>("date calculator "[i % 16] + i / 500));
    PackStream(text, kPackNormal, PackDirection::Pack);
    for (size_t len = 0; len < text.size(); ++len) {
        Bytes cut(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(len));
        const Bytes copy = cut;
        EXPECT_THROW(PackStream(cut, kPackNormal, PackDirection::Unpack), StreamError) << len;
        EXPECT_EQ(cut, copy);
    }
    Bytes garbage = Text("this is not deflate data at all");
    garbage[0] = 0xff;  // block type 3 does not exist
    EXPECT_THROW(PackStream(garbage, kPackNormal, PackDirection::Unpack), StreamError);
}

}  // namespace
}  // namespace clx
