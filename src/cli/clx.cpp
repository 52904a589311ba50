#include "cli/clx.h"

#include <CLI/CLI.hpp>

namespace clx::cli {

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"clx - the Chronolex date calculator"};
    app.require_subcommand(0, 1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        err << "clx: " << e.what() << "\n";
        return 2;
    }
    if (argc <= 1) out << app.help();
    return 0;
}

}  // namespace clx::cli
