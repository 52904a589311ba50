#pragma once
// The options file on the command line: `clx options show`, `clx word`, and the days-per-year
// default that the calculation commands take from the installation's options.
#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "cli/context.h"

namespace clx::cli {

// --days-per-year T and --options FILE of a calculation command.
struct DaysPerYearOption {
    std::string command;       // names the command in notes
    std::string value;         // --days-per-year as given; empty when not given
    std::string optionsFile;   // --options; empty for the installation's options
};

void AddDaysPerYearOption(CLI::App& sub, DaysPerYearOption& option);

// The days-per-year type (0-4): --days-per-year when given, else the options file's choice.
// An unreadable --options file is bad input; when the installation's options cannot give a
// choice, 1 (365.25) is used and a note saying so goes to err.
int ResolveDaysPerYear(const DaysPerYearOption& option, const Context& ctx, std::ostream& err);

}  // namespace clx::cli
