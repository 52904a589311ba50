#pragma once
// The plan's part of the token engine: its values as "Pln" tokens, and the custom text report
// (the master plan's template merged with them and the document's merge field values).
#include "output/tokens.h"
#include "plans/plan_sheet.h"

namespace clx {

// Clears the engine's value tables and sets the plan tokens.
void PreparePlanTokens(DataTokenEngine& engine, PlanSheet& sheet);
// The number of replacements; result holds the merged report.
int MergePlanReport(DataTokenEngine& engine, PlanSheet& sheet, RichText& result);

}  // namespace clx
