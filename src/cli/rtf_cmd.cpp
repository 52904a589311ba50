// Rich text from the command line: the plain text of an RTF file, and the custom text merge.
#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "cli/commands.h"
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

// Writes beside the target and renames over it, so a failed write leaves the target as it was.
void WriteWholeFile(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) throw Failure(fmt::format("OUT: cannot write '{}': {}", path, std::strerror(errno)));
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    const int err = ok ? 0 : errno;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        std::error_code ec;
        fs::rename(temp, target, ec);
        if (!ec) return;
        ::unlink(temp.c_str());
        throw Failure(fmt::format("OUT: cannot write '{}': {}", path, ec.message()));
    }
    ::unlink(temp.c_str());
    throw Failure(fmt::format("OUT: cannot write '{}': {}", path, std::strerror(err ? err : EIO)));
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
    }

    int Execute(const Context& ctx, std::ostream& out, std::ostream&) override {
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

        MemTable words("taWrd");   // no options file here: word tokens resolve to nothing
        words.AddField("Token", FieldType::String, kTokenNameSize);
        words.AddField("Value", FieldType::Memo);

        DataTokenEngine engine(words, ctx.Loc());
        RichText result(source.DefaultFormat());
        const int n = engine.CustomTextMerge(
            [&](DataTokenEngine& e) {
                e.ClearTokenValues();
                for (const auto& p : plan) e.SetPlanToken(p.name, p.value);
            },
            &mergeFields, templates, "Body", result);
        WriteWholeFile(out_, WriteRtf(result));
        out << fmt::format("{} written to {}\n", Plural(n, "replacement", "replacements"), out_);
        return 0;
    }

private:
    std::string in_, out_;
    std::vector<std::string> pln_, alt_;
};

}  // namespace

std::unique_ptr<Command> MakeRtfCommand() { return std::make_unique<RtfCommand>(); }
std::unique_ptr<Command> MakeMergeCommand() { return std::make_unique<MergeCommand>(); }

}  // namespace clx::cli
