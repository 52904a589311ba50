#pragma once
// What the master plan file reader promises for any input: no crash, only a stream error for
// a deflated part that cannot be inflated, and whatever was read writes back to an image that
// reads back to the same bytes. A broken promise throws std::logic_error.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "files/bytestream.h"
#include "plans/plan_file.h"

namespace clx::fuzz {

// A small real file: two master plans (one not in the menu) with key dates, steps and fields.
inline std::vector<uint8_t> MakeFuzzPlanFile() {
    TPln e;
    for (int p = 0; p < 2; ++p) {
        MemTable& s = e.MasterPlans();
        s.Append();
        s.FieldByName("Name").SetString(p ? "Lease" : "Litigation");
        s.FieldByName("Use").SetBoolean(p == 0);
        s.FieldByName("RTF").SetString("{\\rtf1 %PlnPlan%}");
        s.Post();
        MemTable& k = e.MasterKeyDates();
        k.Append();
        k.FieldByName("Name").SetString("Trial");
        k.FieldByName("Date").SetDateTime(EncodeDate(2026, 6, 1));
        k.Post();
        MemTable& st = e.MasterSteps();
        st.Append();
        st.FieldByName("RelativeTo").SetInteger(k.FieldByName("Ukey").AsInteger());
        st.FieldByName("Days").SetInteger(28);
        st.Post();
        MemTable& f = e.MasterFields();
        f.Append();
        f.FieldByName("Name").SetString("Court");
        f.Post();
    }
    return PlanFileImage(e);
}

inline void RequirePlan(bool ok, const char* what) {
    if (!ok) throw std::logic_error(what);
}

inline void CheckPlanFileImage(std::span<const uint8_t> data) {
    TPln e;
    try {
        ReadPlanFileImage(e, std::vector<uint8_t>(data.begin(), data.end()));
    } catch (const StreamError&) {
        return;
    }
    e.RefreshAll();
    const std::vector<uint8_t> once = PlanFileImage(e);
    TPln again;
    ReadPlanFileImage(again, once);
    RequirePlan(PlanFileImage(again) == once, "a master plan file read back differently");
}

}  // namespace clx::fuzz
