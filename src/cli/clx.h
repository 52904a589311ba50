#pragma once
#include <ostream>

namespace clx::cli {

// Runs the clx command line; returns the process exit status (0 ok, 1 failed, 2 bad input).
int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace clx::cli
