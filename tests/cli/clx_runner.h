#pragma once
// Runs clx in-process with a fixed locale and captures what it prints.
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/clx.h"
#include "platform/locale.h"

namespace clx::cli::test_support {

struct ClxOutcome {
    int code = -1;
    std::string out, err;
};

inline ClxOutcome RunClx(std::vector<std::string> args, const Locale& loc = Locale::Default()) {
    args.insert(args.begin(), "clx");
    std::vector<char*> argv;
    for (auto& s : args) argv.push_back(s.data());
    std::ostringstream out, err;
    ClxOutcome o;
    o.code = Run(static_cast<int>(argv.size()), argv.data(), out, err, loc);
    o.out = out.str();
    o.err = err.str();
    return o;
}

// The outcome with the printed JSON at hand, for commands run with --json.
struct JsonOutcome : ClxOutcome {
    nlohmann::ordered_json Json() const { return nlohmann::ordered_json::parse(out); }
};

inline JsonOutcome Clx(std::vector<std::string> args) { return {RunClx(std::move(args))}; }

}  // namespace clx::cli::test_support
