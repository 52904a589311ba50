#pragma once
// What the document reader promises for any input: no crash, an image that cannot be
// inflated changes nothing, and whatever was read writes back to an image that reads back to
// the same bytes. The first input byte chooses a plain (0) or compressed (1) read. A broken
// promise throws std::logic_error.
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

#include "files/document.h"
#include "platform/datetime.h"

namespace clx::fuzz {

// A document whose tables have every field kind the program's tables use, except the plan
// tables, which stay undefined and are carried as bytes.
inline std::unique_ptr<Document> MakeFuzzDocument() {
    auto d = std::make_unique<Document>();
    for (const auto& s : kDocumentSections) {
        if (s.kind != SectionKind::Table || s.object == "taPln" || s.object == "taPlf") continue;
        MemTable& t = d->Table(s.object);
        t.AddField("Name", FieldType::String, 12);
        t.AddField("Count", FieldType::Integer);
        t.AddField("Flag", FieldType::Boolean);
        t.AddField("Money", FieldType::Currency);
        t.AddField("Weeks", FieldType::BCD, 4);
        t.AddField("Day", FieldType::Date);
        t.AddField("Stamp", FieldType::DateTime);
        t.AddField("Ukey", FieldType::AutoInc);
        t.AddField("Memo", FieldType::Memo);
    }
    d->Table("taOne").AppendRaw({std::string("Hearing"), int64_t{3}, true, 1.5, std::string("2.5000"),
                                 EncodeDate(2024, 2, 29), EncodeDate(2024, 3, 1) + 0.5, Value{},
                                 std::string("memo")});
    d->Rtf("redNote") = "{\\rtf1\\ansi note\\par }";
    d->header.Set(hdr::edChrHdg, "Heading");
    return d;
}

inline void RequireDoc(bool ok, const char* what) {
    if (!ok) throw std::logic_error(what);
}

inline void CheckDocumentImage(std::span<const uint8_t> data) {
    if (data.empty()) return;
    const bool compressed = data[0] & 1;
    std::vector<uint8_t> image(data.begin() + 1, data.end());
    auto d = MakeFuzzDocument();
    const auto before = d->WriteImage(false);
    try {
        d->ReadImage(std::move(image), compressed);
    } catch (const StreamError&) {
        RequireDoc(compressed, "a plain document image threw");
        RequireDoc(d->WriteImage(false) == before, "a failed document read changed the document");
        return;
    }
    const auto once = d->WriteImage(false);
    auto again = MakeFuzzDocument();
    again->ReadImage(once, false);
    RequireDoc(again->WriteImage(false) == once, "a document image does not read back to the same bytes");
}

}  // namespace clx::fuzz
