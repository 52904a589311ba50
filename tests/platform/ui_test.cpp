#include "platform/ui.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/fake_ui.h"

using namespace clx;

TEST(UiMessages, BarsBecomeLineBreaksOnlyInErrorAndInformation) {
    FakeUi ui;
    ui.Error("Cannot open|the file");
    ui.Information("a|b|");
    ui.Inform("x|y");
    ui.Ask("keep|this?");
    ui.Confirm("and|this?", "Title");

    auto m = ui.Messages();
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0].kind, UiCallKind::Error);
    EXPECT_EQ(m[0].text, "Cannot open\nthe file");
    EXPECT_EQ(m[1].kind, UiCallKind::Information);
    EXPECT_EQ(m[1].text, "a\nb\n");
    EXPECT_EQ(m[2].text, "x|y");
    EXPECT_EQ(m[3].text, "keep|this?");
    EXPECT_EQ(m[4].text, "and|this?");
    EXPECT_EQ(m[4].title, "Title");
}

TEST(UiMessages, AnswersComeFromTheQueueThenTheDefault) {
    FakeUi ui;
    ui.QueueAnswers({ConfirmResult::No, ConfirmResult::Cancel, ConfirmResult::Yes});
    EXPECT_FALSE(ui.Ask("Delete Record?"));
    EXPECT_EQ(ui.Confirm("Save changes?"), ConfirmResult::Cancel);
    EXPECT_TRUE(ui.Ask("Delete Record?"));
    EXPECT_EQ(ui.PendingAnswers(), 0u);

    EXPECT_EQ(ui.Confirm("Save changes?"), ConfirmResult::Yes);
    ui.SetDefaultAnswer(ConfirmResult::No);
    EXPECT_FALSE(ui.Ask("Delete Record?"));
    EXPECT_EQ(ui.Confirm("Save changes?"), ConfirmResult::No);

    auto m = ui.Messages();
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[1].answer, ConfirmResult::Cancel);
    EXPECT_EQ(m[5].answer, ConfirmResult::No);
}

TEST(UiCursor, MessagesShowTheDefaultCursorAndRestoreTheBusyOne) {
    FakeUi ui;
    {
        BusyCursor busy(ui);
        EXPECT_EQ(ui.CurrentCursor(), Cursor::HourGlass);
        ui.Error("failed");
        ui.Ask("again?");
        EXPECT_EQ(ui.CurrentCursor(), Cursor::HourGlass);
        EXPECT_EQ(ui.CursorDepth(), 1u);
    }
    EXPECT_EQ(ui.CurrentCursor(), Cursor::Default);
    EXPECT_EQ(ui.CursorDepth(), 0u);
    for (const auto& m : ui.Messages()) EXPECT_EQ(m.cursor, Cursor::Default);
}

// A GUI whose dialog fails must not leave the default cursor up during a long operation.
class ThrowingUi : public FakeUi {
protected:
    bool DoAsk(std::string_view, std::string_view) override { throw std::runtime_error("gone"); }
};

TEST(UiCursor, RestoredWhenTheMessageThrows) {
    ThrowingUi ui;
    BusyCursor busy(ui);
    EXPECT_THROW(ui.Ask("?"), std::runtime_error);
    EXPECT_EQ(ui.CurrentCursor(), Cursor::HourGlass);
    EXPECT_EQ(ui.CursorDepth(), 1u);
}

TEST(UiCursor, StackRestoresInOrderAndEmptyPopGivesDefault) {
    FakeUi ui;
    ui.PushCursor(Cursor::HourGlass);
    ui.PushCursor(Cursor::HandPoint);
    ui.PopCursor();
    EXPECT_EQ(ui.CurrentCursor(), Cursor::HourGlass);
    ui.PopCursor();
    EXPECT_EQ(ui.CurrentCursor(), Cursor::Default);

    ui.PushCursor(Cursor::HourGlass);
    ui.PopCursor();
    ui.PopCursor();  // one pop too many
    EXPECT_EQ(ui.CurrentCursor(), Cursor::Default);
    EXPECT_EQ(ui.CursorHistory().back(), Cursor::Default);
}

TEST(UiCursor, PushesBeyondTheLimitAreIgnoredAndBalanced) {
    FakeUi ui;
    ui.PushCursor(Cursor::HandPoint);  // the outermost level, to see it come back
    for (std::size_t i = 1; i < UiServices::kCursorStackLimit; ++i) ui.PushCursor(Cursor::HourGlass);
    ASSERT_EQ(ui.CursorDepth(), UiServices::kCursorStackLimit);

    ui.PushCursor(Cursor::IBeam);  // ignored
    ui.PushCursor(Cursor::IBeam);  // ignored
    EXPECT_EQ(ui.CurrentCursor(), Cursor::HourGlass);
    EXPECT_EQ(ui.IgnoredPushes(), 2u);

    // A message at the limit still shows the default cursor.
    ui.Inform("full");
    EXPECT_EQ(ui.Messages().back().cursor, Cursor::Default);
    EXPECT_EQ(ui.CurrentCursor(), Cursor::HourGlass);

    ui.PopCursor();
    ui.PopCursor();
    EXPECT_EQ(ui.CursorDepth(), UiServices::kCursorStackLimit);
    EXPECT_EQ(ui.CurrentCursor(), Cursor::HourGlass);

    for (std::size_t i = 1; i < UiServices::kCursorStackLimit; ++i) ui.PopCursor();
    EXPECT_EQ(ui.CurrentCursor(), Cursor::HandPoint);
    ui.PopCursor();
    EXPECT_EQ(ui.CurrentCursor(), Cursor::Default);
    EXPECT_EQ(ui.CursorDepth(), 0u);
}

TEST(FakeUiServices, DialogsClipboardShellHelpAndWaits) {
    FakeUi ui;
    ui.QueueOpenResult("/data/a.cxz");
    FileDialogOptions opt{"Open", "Documents (*.cxz)|*.cxz", "/data", "", "cxz"};
    EXPECT_EQ(ui.OpenFileDialog(opt), "/data/a.cxz");
    EXPECT_EQ(ui.OpenFileDialog(opt), std::nullopt);  // nothing queued: cancelled
    ui.QueueSaveResult(std::nullopt);
    EXPECT_EQ(ui.SaveFileDialog(opt), std::nullopt);

    ui.SetClipboardText("Easter Sunday\r\n");
    EXPECT_EQ(ui.ClipboardText(), "Easter Sunday\r\n");
    EXPECT_TRUE(ui.OpenDocument("/apps/Cal/Help/faq.pdf"));
    ui.SetShowHelpResult(false);
    EXPECT_FALSE(ui.ShowHelp("/apps/Cal/Help/clx.chm", 1000));
    ui.Wait(std::chrono::milliseconds(250));

    const auto& c = ui.Calls();
    ASSERT_EQ(c.size(), 8u);
    EXPECT_EQ(c[0].kind, UiCallKind::OpenFileDialog);
    EXPECT_EQ(c[0].dialog.initialDir, "/data");
    EXPECT_EQ(c[0].text, "/data/a.cxz");
    EXPECT_EQ(c[2].kind, UiCallKind::SaveFileDialog);
    EXPECT_EQ(c[5].text, "/apps/Cal/Help/faq.pdf");
    EXPECT_EQ(c[6].number, 1000);
    EXPECT_EQ(c[7].kind, UiCallKind::Wait);
    EXPECT_EQ(c[7].number, 250);
    EXPECT_EQ(c[7].cursor, Cursor::HourGlass);
    EXPECT_EQ(ui.CurrentCursor(), Cursor::Default);
}
