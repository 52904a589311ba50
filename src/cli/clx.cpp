#include "cli/clx.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "app/config.h"
#include "cli/commands.h"
#include "cli/context.h"

namespace clx::cli {

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
    return Run(argc, argv, out, err, Locale::FromProcess());
}

int Run(int argc, char** argv, std::ostream& out, std::ostream& err, const Locale& locale) {
    Context ctx(locale, RunningProgramPath());
    CLI::App app{fmt::format("clx - the Chronolex date calculator, for deadlines in scripts.\n"
                             "Dates are YYYY-MM-DD or typed as {}; --json prints one JSON object "
                             "with ISO dates.",
                             ctx.Cfg().DateEntryFormat()),
                 "clx"};
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", std::string(Config::ProgramVersion()));

    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(MakeIntervalCommand());
    commands.push_back(MakeAddCommand());
    commands.push_back(MakeSeriesCommand());
    commands.push_back(MakeEasterCommand());
    commands.push_back(MakeJulianCommand());
    commands.push_back(MakeGregorianCommand());
    commands.push_back(MakeSkipCommand());
    commands.push_back(MakePlanCommand());
    for (auto& c : MakeOptionsCommands()) commands.push_back(std::move(c));
    for (auto& c : MakeRtfCommands()) commands.push_back(std::move(c));
    for (auto& c : MakeDocumentCommands()) commands.push_back(std::move(c));
    for (auto& c : commands) c->Register(app);
    app.footer("Run 'clx COMMAND --help' for the options of a command.");   // after: not inherited

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();   // the chosen command's help when one was named
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return 0;
    } catch (const CLI::CallForVersion&) {
        out << Config::ProgramVersion() << '\n';
        return 0;
    } catch (const CLI::ParseError& e) {
        std::string where = "clx";
        for (auto& c : commands)
            if (c->sub->parsed()) where += " " + c->sub->get_name();
        err << where << ": " << e.what() << '\n';
        return 2;
    }

    Command* chosen = nullptr;
    for (auto& c : commands)
        if (c->sub->parsed()) chosen = c.get();
    if (!chosen) {
        out << app.help();
        return 0;
    }

    try {
        return chosen->Execute(ctx, out, err);
    } catch (const UsageError& e) {
        err << "clx " << chosen->sub->get_name() << ": " << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        err << "clx " << chosen->sub->get_name() << ": " << e.what() << '\n';
        return 1;
    }
}

}  // namespace clx::cli
