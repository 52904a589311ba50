#pragma once
// What the stream readers promise for any input, shared by the fuzz targets and the
// regression tests: no crash, a failed read leaves every object as it was, and whatever was
// read writes back to an image that reads back to the same bytes. A broken promise throws
// std::logic_error.
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/sectionstream.h"
#include "files/tablestream.h"
#include "platform/datetime.h"
#include "platform/memtable.h"

namespace clx::fuzz {

// A table with one field of every kind the program uses, a calculated field, a sort field
// and a filter, holding two rows.
inline std::unique_ptr<MemTable> MakeMixedTable() {
    auto t = std::make_unique<MemTable>("taMix");
    t->AddField("Name", FieldType::String, 12);
    t->AddField("Small", FieldType::SmallInt);
    t->AddField("Count", FieldType::Integer);
    t->AddField("Flag", FieldType::Boolean);
    t->AddField("Amount", FieldType::Float);
    t->AddField("Money", FieldType::Currency);
    t->AddField("Rate", FieldType::BCD, 4);
    t->AddField("Day", FieldType::Date);
    t->AddField("At", FieldType::Time);
    t->AddField("Stamp", FieldType::DateTime);
    t->AddField("Ukey", FieldType::AutoInc);
    t->AddField("Data", FieldType::Blob);
    t->AddField("Notes", FieldType::Memo);
    t->AddField("Big", FieldType::LargeInt);
    t->AddField("W", FieldType::Word);
    t->AddField("Twice", FieldType::Float, 0, FieldKind::Calculated);
    t->handlers.onCalcFields = [](MemTable& m) {
        if (!m.FieldByName("Amount").IsNull()) m.FieldByName("Twice").SetFloat(m.FieldByName("Amount").AsFloat() * 2);
    };
    t->SetSortField("Name");
    t->LoadRows({
        {std::string("Hearing"), int64_t{-3}, int64_t{100000}, true, 2.5, 19.99, std::string("-12.3400"),
         EncodeDate(2024, 2, 29), EncodeTime(13, 45, 30, 250), EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59, 999),
         int64_t{7}, std::string("\x01\x00\xff", 3), std::string("Caf\xc3\xa9 notes\r\nline 2"),
         int64_t{-9000000000}, int64_t{65535}},
        {Value{}, Value{}, Value{}, false, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{},
         Value{}, Value{}, Value{}},
    });
    t->handlers.onFilterRecord = [](MemTable& m) { return !m.FieldByName("Flag").AsBoolean(); };
    t->SetFiltered(true);
    return t;
}

// The rows of a table as bytes, hidden rows included.
inline std::vector<uint8_t> Image(const MemTable& t) { return SaveToStream(t); }

inline void Require(bool ok, const char* what) {
    if (!ok) throw std::logic_error(what);
}

// Loads the data as a table image; on failure the table must be unchanged, on success the
// table must write an image that loads back and writes the same bytes again.
inline void CheckTableStream(std::span<const uint8_t> data) {
    auto t = MakeMixedTable();
    const auto before = Image(*t);
    try {
        LoadFromStream(*t, data);
    } catch (const StreamError&) {
        Require(Image(*t) == before, "a failed table load changed the table");
        return;
    }
    const auto once = Image(*t);
    auto again = MakeMixedTable();
    LoadFromStream(*again, once);
    Require(Image(*again) == once, "a table image does not read back to the same bytes");
}

// An RTF holder that refuses text without the RTF signature, like a real reader would.
class StrictRtf : public RtfBytes {
public:
    using RtfBytes::RtfBytes;
    void LoadRtf(std::string_view rtf) override {
        if (rtf.substr(0, 5) != "{\\rtf") throw StreamError("not an RTF document");
        RtfBytes::LoadRtf(rtf);
    }
};

// The sections a small file of every kind holds, in reading order.
struct SectionFile {
    std::array<uint8_t, 24> header{};
    std::unique_ptr<MemTable> table = MakeMixedTable();
    StrictRtf title{"{\\rtf1 old title}"};
    std::vector<std::string> lines{"old", "lines"};
    std::unique_ptr<MemTable> second = MakeMixedTable();
    std::array<uint8_t, 4> tail{9, 9, 9, 9};

    SectionFile() { std::memset(header.data(), 0x5A, header.size()); }

    std::vector<SectionResult> Stream(SectionStream& s) {
        return {s.StreamSection(header, 1, "Header"), s.StreamSection(*table, 2, "Table"),
                s.StreamSection(title, 3, "Title"),   s.StreamSection(lines, 4, "Lines"),
                s.StreamSection(*second, 5, "Second"), s.StreamSection(tail, 6, "Tail")};
    }
};

// Reads the data as a section file, inflated first when the first byte is odd.
inline void CheckSectionStream(std::span<const uint8_t> data) {
    if (data.empty()) return;
    std::vector<uint8_t> image(data.begin() + 1, data.end());
    if (data[0] & 1) {
        try {
            PackStream(image, kPackNormal, PackDirection::Unpack, size_t{16} << 20);
        } catch (const StreamError&) {
            Require(image == std::vector<uint8_t>(data.begin() + 1, data.end()), "a failed unpack changed the buffer");
            return;
        }
    }
    SectionFile f;
    SectionFile fresh;
    const auto table0 = Image(*f.table), second0 = Image(*f.second);
    SectionStream in(image);
    const auto results = f.Stream(in);
    auto kept = [&](size_t i) { return results[i] != SectionResult::Loaded; };
    if (kept(0)) Require(f.header == fresh.header, "a skipped header section changed the record");
    if (kept(1)) Require(Image(*f.table) == table0, "a skipped table section changed the table");
    if (kept(2)) Require(f.title.Rtf() == fresh.title.Rtf(), "a skipped rich-text section changed the text");
    if (kept(3)) Require(f.lines == fresh.lines, "a skipped lines section changed the lines");
    if (kept(4)) Require(Image(*f.second) == second0, "a skipped table section changed the table");
    if (kept(5)) Require(f.tail == fresh.tail, "a skipped record section changed the record");

    // What was read writes a file that reads back to the same file.
    SectionStream out;
    f.Stream(out);
    SectionFile g;
    g.lines.clear();  // an empty list is written as an empty section, which keeps what the list holds
    SectionStream back(out.Image());
    for (SectionResult r : g.Stream(back))
        Require(r == SectionResult::Loaded || r == SectionResult::Empty, "a written section does not read back");
    SectionStream out2;
    g.Stream(out2);
    Require(out2.Image() == out.Image(), "a section file does not read back to the same bytes");
    std::vector<uint8_t> packed = out.Image();
    PackStream(packed, kPackNormal, PackDirection::Pack);
    PackStream(packed, kPackNormal, PackDirection::Unpack);
    Require(packed == out.Image(), "pack and unpack do not give back the image");
}

}  // namespace clx::fuzz
