// Rich text from the command line: the plain text of an RTF file, and the custom text merge.
#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>

#include "cli/commands.h"
#include "files/fileio.h"
#include "files/options.h"
#include "output/tokens.h"
#include "platform/memtable.h"
#include "platform/richtext.h"

namespace clx::cli {

namespace {

constexpr std::uintmax_t kMaxRtfFile = std::uintmax_t{64} << 20;

// The file's rich text; anything that is not a readable RTF document is bad input.
RichText ReadRtfFile(const std::string& path, std::string_view what) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status))
        throw UsageError(fmt::format("{}: '{}' does not exist", what, path));
    if (!std::filesystem::is_regular_file(status))
        throw UsageError(fmt::format("{}: '{}' is not a file", what, path));
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxRtfFile)
        throw UsageError(fmt::format("{}: '{}' is larger than 64 MiB", what, path));
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    if (!in || !(data << in.rdbuf()) || in.bad())
        throw UsageError(fmt::format("{}: '{}' cannot be read", what, path));
    const std::string bytes = std::move(data).str();
    if (bytes.rfind("{\\rtf", 0) != 0)
        throw UsageError(fmt::format("{}: '{}' is not an RTF document", what, path));
    std::string error;
    auto text = TryReadRtf(bytes, &error);
    if (!text) throw UsageError(fmt::format("{}: '{}' is not a readable RTF document: {}", what, path, error));
    return std::move(*text);
}

struct NameValue {
    std::string name, value;
};

std::vector<NameValue> ReadPairs(const std::vector<std::string>& items, std::string_view option) {
    std::vector<NameValue> pairs;
    for (const std::string& item : items) {
        const std::size_t eq = item.find('=');
        const std::string name = eq == std::string::npos ? std::string() : TokenTrim(item.substr(0, eq));
        if (name.empty())
            throw UsageError(fmt::format("{}: '{}' is not NAME=VALUE", option, item));
        pairs.push_back({name, item.substr(eq + 1)});
    }
    return pairs;
}

class RtfCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("rtf", "Look into rich-text (RTF) files");
        sub->require_subcommand(1);
        text_ = sub->add_subcommand("text", "Print the plain text of an RTF file, as a reader sees it");
        text_->add_option("FILE", file_, "RTF file")->required()->type_name("FILE.rtf");
    }

    int Execute(const Context&, std::ostream& out, std::ostream&) override {
        const RichText text = ReadRtfFile(file_, "FILE");
        std::string plain = text.PlainText("\n");
        if (!plain.empty() && plain.back() != '\n') plain.push_back('\n');
        out << plain;
        return 0;
    }

private:
    CLI::App* text_ = nullptr;
    std::string file_;
};

class MergeCommand : public Command {
public:
    void Register(CLI::App& app) override {
        sub = app.add_subcommand("merge", "Replace the merge tokens of an RTF file (a custom text report)");
        sub->add_option("IN", in_, "RTF template")->required()->type_name("IN.rtf");
        sub->add_option("OUT", out_, "Merged RTF file to write")->required()->type_name("OUT.rtf");
        sub->add_option("--pln", pln_, "Plan token, used as %PlnNAME% (repeatable)")
            ->allow_extra_args(false)
            ->type_name("NAME=VALUE");
        sub->add_option("--alt", alt_, "Merge field, used as %AltNAME% with blanks as _ (repeatable)")
            ->allow_extra_args(false)
            ->type_name("NAME=VALUE");
        sub->add_option("--options", options_, "Options file of the %Wrd...% word tokens "
                                               "(default: the installation's options.dcz)")
            ->type_name("FILE");
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream& err) override {
        const auto plan = ReadPairs(pln_, "--pln");
        const auto fields = ReadPairs(alt_, "--alt");
        const RichText source = ReadRtfFile(in_, "IN");

        MemTable templates("taTpl");
        templates.AddField("Body", FieldType::Blob);
        templates.Append();
        templates.FieldByName("Body").SetString(WriteRtf(source));
        templates.Post();

        MemTable mergeFields("taPlf");
        mergeFields.AddField("Name", FieldType::String, 255);
        mergeFields.AddField("Value", FieldType::Memo);
        for (const auto& f : fields) mergeFields.AppendRaw({f.name, f.value});

        Options options;
        LoadWords(options, ctx, err);
        DataTokenEngine engine(options.taWrd, ctx.Loc());
        RichText result(source.DefaultFormat());
        const int n = engine.CustomTextMerge(
            [&](DataTokenEngine& e) {
                e.ClearTokenValues();
                for (const auto& p : plan) e.SetPlanToken(p.name, p.value);
            },
            &mergeFields, templates, "Body", result);
        const std::string rtf = WriteRtf(result);
        try {
            WriteFileAtomic(out_, std::span(reinterpret_cast<const uint8_t*>(rtf.data()), rtf.size()));
        } catch (const FileError& e) {
            throw Failure(fmt::format("OUT: {}", e.what()));
        }
        out << fmt::format("{} written to {}\n", Plural(n, "replacement", "replacements"), out_);
        return 0;
    }

private:
    // A named options file must be readable; the installation's may be missing, and then the
    // word tokens merge to nothing.
    void LoadWords(Options& options, const Context& ctx, std::ostream& err) const {
        if (!options_.empty()) {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(options_, ec))
                throw UsageError(fmt::format("--options: '{}' is not an options file that exists", options_));
            const OptionsLoadReport r = LoadOptions(options, options_, std::filesystem::path());
            if (!r.Loaded()) throw UsageError(fmt::format("--options: '{}' cannot be read", options_));
            return;
        }
        const ConfigFiles& f = ctx.Cfg().Files();
        if (!LoadOptions(options, f.options, f.defaultOptions).Loaded())
            err << "clx merge: note: no options file found; word tokens merge to nothing\n";
    }

    std::string in_, out_, options_;
    std::vector<std::string> pln_, alt_;
};

}  // namespace

std::vector<std::unique_ptr<Command>> MakeRtfCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<RtfCommand>());
    commands.push_back(std::make_unique<MergeCommand>());
    return commands;
}

}  // namespace clx::cli
