#pragma once
// The clx commands. Each registers its options on its own subcommand and, once the command
// line is parsed, runs with the shared context.
#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <vector>

#include "cli/context.h"

namespace clx::cli {

class Command {
public:
    virtual ~Command() = default;
    // Adds the subcommand and its options to the application.
    virtual void Register(CLI::App& app) = 0;
    // Writes the result to out; returns the exit status. Raises UsageError for bad input and
    // Failure for a request without an answer.
    virtual int Execute(const Context& ctx, std::ostream& out, std::ostream& err) = 0;

    CLI::App* sub = nullptr;
};

std::unique_ptr<Command> MakeIntervalCommand();
std::unique_ptr<Command> MakeAddCommand();
std::unique_ptr<Command> MakeSeriesCommand();
std::unique_ptr<Command> MakeEasterCommand();
std::unique_ptr<Command> MakeJulianCommand();
std::unique_ptr<Command> MakeGregorianCommand();
std::unique_ptr<Command> MakeSkipCommand();
std::unique_ptr<Command> MakePlanCommand();   // plan show, plan run
std::vector<std::unique_ptr<Command>> MakeOptionsCommands();   // options, word
std::vector<std::unique_ptr<Command>> MakeRtfCommands();       // rtf, merge
std::vector<std::unique_ptr<Command>> MakeDocumentCommands();  // new, show, set, insert, series-insert, recalc, export

// Whole numbers only: refuses "1.5", "0x10" and the like before the value is converted.
const CLI::Validator& WholeNumber();

// The object on one indented JSON text and a line break.
void WriteJson(std::ostream& out, const Json& value);

}  // namespace clx::cli
