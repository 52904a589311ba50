#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/clx.h"
#include "cli/clx_runner.h"
#include "files/options.h"
#include "platform/memtable.h"
#include "platform/richtext.h"

namespace clx::cli {
namespace {

namespace fs = std::filesystem;

using Outcome = test_support::ClxOutcome;

Outcome Clx(const std::vector<std::string>& args) { return test_support::RunClx(args); }

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class RtfCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("clx_rtf_cmd_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    static void ExpectOneErrorLine(const Outcome& o, const std::string& part) {
        EXPECT_EQ(o.code, 2);
        EXPECT_NE(o.err.find(part), std::string::npos) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        EXPECT_EQ(o.out, "");
    }

    fs::path dir;
};

RichText Letter() {
    CharFormat bold;
    bold.bold = true;
    Paragraph first, second;
    first.runs = {{"Dear ", {}}, {"%AltClient_Name%", bold}, {",", {}}};
    second.runs = {{"re %PlnName% [%WrdFirm%] [%AltClient Name%] key %PlnKey%", {}}};
    return RichText::FromParagraphs({first, second});
}

TEST_F(RtfCommandTest, TextPrintsWhatTheReaderSees) {
    const std::string file = Write("letter.rtf", WriteRtf(Letter()));
    const Outcome o = Clx({"rtf", "text", file});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "Dear %AltClient_Name%,\nre %PlnName% [%WrdFirm%] [%AltClient Name%] key %PlnKey%\n");
}

TEST_F(RtfCommandTest, MergeReplacesTokensKeepingTheirFormat) {
    const std::string in = Write("letter.rtf", WriteRtf(Letter()));
    const std::string out = (dir / "merged.rtf").string();
    const Outcome o = Clx({"merge", "--pln", "Name=Lease renewal", in, out, "--alt", "Client Name=Smith",
                           "--pln", "key=a=b"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "5 replacements written to " + out + "\n");
    const RichText merged = ReadRtf(ReadAll(out));
    EXPECT_EQ(merged.PlainText("\n"), "Dear Smith,\nre Lease renewal [] [] key a=b");
    EXPECT_TRUE(merged.FormatAt(5).bold);
    EXPECT_FALSE(merged.FormatAt(10).bold);
    // The template is left as it was.
    EXPECT_EQ(ReadRtf(ReadAll(in)), Letter());

    // Merging over the input file itself replaces it whole.
    ASSERT_EQ(Clx({"merge", in, in}).code, 0);
    EXPECT_EQ(ReadRtf(ReadAll(in)).PlainText("\n"), "Dear ,\nre  [] [] key ");
}

TEST_F(RtfCommandTest, MergeTakesWordTokensFromTheOptionsFile) {
    Options options;
    options.taWrd.Append();
    options.taWrd.FieldByName("Token").SetString("FIRM");
    options.taWrd.FieldByName("Value").SetString("smith & co");
    options.taWrd.Post();
    const std::vector<uint8_t> image = OptionsImage(options);
    const std::string file = Write("options.dcz", std::string(image.begin(), image.end()));

    const std::string in = Write("in.rtf", WriteRtf(RichText::FromPlainText("%WrdFirm/M% [%WrdOther%]")));
    const std::string out = (dir / "out.rtf").string();
    const Outcome o = Clx({"merge", in, out, "--options", file});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(ReadRtf(ReadAll(out)).PlainText("\n"), "Smith & Co []");

    ExpectOneErrorLine(Clx({"merge", in, out, "--options", (dir / "none.dcz").string()}),
                       "is not an options file that exists");
    ExpectOneErrorLine(Clx({"merge", in, out, "--options", in}), "cannot be read");
}

TEST_F(RtfCommandTest, BadInputIsOneLineAndExitTwo) {
    const std::string rtf = Write("ok.rtf", WriteRtf(Letter()));
    const std::string text = Write("plain.txt", "just text, %PlnName%");
    const std::string out = (dir / "out.rtf").string();
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"rtf", "text", (dir / "missing.rtf").string()}, "does not exist"},
        {{"rtf", "text", dir.string()}, "is not a file"},
        {{"rtf", "text", text}, "is not an RTF document"},
        {{"merge", (dir / "missing.rtf").string(), out}, "IN: "},
        {{"merge", text, out}, "is not an RTF document"},
        {{"merge", rtf, out, "--pln", "NoValue"}, "--pln: 'NoValue' is not NAME=VALUE"},
        {{"merge", rtf, out, "--alt", "=Smith"}, "--alt: '=Smith' is not NAME=VALUE"},
        {{"merge", rtf, out, "--alt", " =Smith"}, "is not NAME=VALUE"},
        {{"merge", rtf}, "OUT"},
        {{"rtf"}, "clx rtf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        ExpectOneErrorLine(Clx(c.args), c.message);
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(RtfCommandTest, FailedWriteLeavesNothingBehind) {
    const std::string in = Write("ok.rtf", WriteRtf(Letter()));
    const Outcome o = Clx({"merge", in, (dir / "no such folder" / "out.rtf").string()});
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(o.err.find("clx merge: OUT: Cannot write the file"), std::string::npos) << o.err;
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace clx::cli
