// Reads any bytes as RTF; whatever reads must write back to RTF that reads the same, and the
// editing operations must keep the text consistent.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/richtext.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

std::size_t CodePoints(const std::string& s) { return clx::richtext_detail::CountCodePoints(s); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<clx::RichText> t = clx::TryReadRtf(in, &error);
    if (!t) {
        Check(!error.empty());
        return 0;
    }
    Check(t->Length() == CodePoints(t->PlainText("\n")));

    std::string rtf = clx::WriteRtf(*t);
    std::optional<clx::RichText> back = clx::TryReadRtf(rtf, &error);
    Check(back && *back == *t);
    Check(clx::WriteRtf(*back) == rtf);

    // Edit with pieces of the input: find a short needle, replace it keeping the format,
    // format a range, insert the text into itself.
    std::size_t len = t->Length();
    std::string needle(in.substr(size / 2, 3));
    if (auto m = t->FindText(needle, size % (len + 1))) {
        Check(m->pos + m->len <= len);
        std::size_t end = t->ReplaceRange(m->pos, m->len, "X\r\nY");
        Check(end == m->pos + 3);
        Check(t->Length() == len - m->len + 3);
    }
    std::size_t pos = size % (t->Length() + 1);
    t->SetRangeFormat(pos, size, [](clx::CharFormat& f) { f.bold = !f.bold; });
    Check(t->AllOf(pos, 0, [](const clx::CharFormat&) { return true; }));
    t->SetParagraphFormat(pos, 2, [](clx::ParaFormat& p) { p.bullet = true; });
    std::size_t before = t->Length();
    clx::RichText copy = *t;
    t->InsertRichText(pos, copy);
    Check(t->Length() == 2 * before);
    Check(t->Length() == CodePoints(t->PlainText("\n")));
    std::optional<clx::RichText> edited = clx::TryReadRtf(clx::WriteRtf(*t), &error);
    Check(edited && *edited == *t);
    return 0;
}
