#include "output/plan_report.h"

namespace clx {

void PreparePlanTokens(DataTokenEngine& engine, PlanSheet& sheet) {
    engine.ClearTokenValues();
    try {
        for (const auto& [name, value] : sheet.PlanTokenValues()) engine.SetPlanToken(name, value);
    } catch (...) {
        // What could be filled is used.
    }
}

int MergePlanReport(DataTokenEngine& engine, PlanSheet& sheet, RichText& result) {
    TPln& plan = sheet.Engine();
    return engine.CustomTextMerge([&](DataTokenEngine& e) { PreparePlanTokens(e, sheet); }, &plan.PlanFields(),
                                  plan.MasterPlans(), "RTF", result);
}

}  // namespace clx
