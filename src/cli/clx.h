#pragma once
#include <ostream>

#include "platform/locale.h"

namespace clx::cli {

// Runs the clx command line; returns the process exit status (0 ok, 1 failed, 2 bad input).
// The regional settings are the process's.
int Run(int argc, char** argv, std::ostream& out, std::ostream& err);
// The same with fixed regional settings.
int Run(int argc, char** argv, std::ostream& out, std::ostream& err, const Locale& locale);

}  // namespace clx::cli
