#pragma once
// A scripted UiServices for tests: records every call, answers questions from a queue and
// file dialogs from their own queues, keeps the clipboard in memory.
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace clx {

enum class UiCallKind {
    Confirm, Ask, Inform, Error, Information,
    OpenFileDialog, SaveFileDialog, SetClipboard, GetClipboard,
    OpenDocument, ShowHelp, ProcessMessages, Wait, ShowModal,
};

struct UiCall {
    UiCallKind kind{};
    std::string title;          // message or dialog title
    std::string text;           // message text (line breaks in place), clipboard text,
                                // opened file, help file, or the dialog result
    Cursor cursor{};            // the cursor shown while the call ran
    long long number = 0;       // help context, wait in milliseconds
    FileDialogOptions dialog;   // for the file dialogs
    std::optional<ConfirmResult> answer;  // for Confirm and Ask
};

class FakeUi : public UiServices {
public:
    // Questions: Confirm takes the next scripted answer; Ask takes it too and reads Yes as true,
    // No and Cancel as false. An empty queue gives the default answer.
    void QueueAnswer(ConfirmResult a) { answers_.push_back(a); }
    void QueueAnswers(std::initializer_list<ConfirmResult> as) { answers_.insert(answers_.end(), as); }
    void SetDefaultAnswer(ConfirmResult a) { defaultAnswer_ = a; }
    std::size_t PendingAnswers() const { return answers_.size(); }

    // File dialogs: the next scripted result, or "cancelled" when none is queued.
    void QueueOpenResult(std::optional<std::string> r) { openResults_.push_back(std::move(r)); }
    void QueueSaveResult(std::optional<std::string> r) { saveResults_.push_back(std::move(r)); }

    // Modal child windows: the handler plays the user (changes the model, returns whether it was
    // shown); without one a modal window is recorded and reported as not shown.
    std::function<bool(ModalForm&)> onShowModal;

    void SetOpenDocumentResult(bool ok) { openDocumentOk_ = ok; }
    void SetShowHelpResult(bool ok) { showHelpOk_ = ok; }

    const std::vector<UiCall>& Calls() const { return calls_; }
    // Only the five message routines, in order.
    std::vector<UiCall> Messages() const;
    // Texts of the messages of one kind, in order.
    std::vector<std::string> Texts(UiCallKind kind) const;
    void ClearCalls() { calls_.clear(); }

    const std::string& Clipboard() const { return clipboard_; }
    // Every cursor the screen was asked to show, in order.
    const std::vector<Cursor>& CursorHistory() const { return cursorHistory_; }

    std::optional<std::string> OpenFileDialog(const FileDialogOptions& opt) override;
    std::optional<std::string> SaveFileDialog(const FileDialogOptions& opt) override;
    void SetClipboardText(std::string_view text) override;
    std::string ClipboardText() override;
    bool OpenDocument(std::string_view fileOrAddress) override;
    bool ShowHelp(std::string_view helpFile, int context) override;
    void ProcessMessages() override;
    bool ShowModal(ModalForm& form) override;

protected:
    ConfirmResult DoConfirm(std::string_view title, std::string_view text) override;
    bool DoAsk(std::string_view title, std::string_view text) override;
    void DoShowMessage(MessageKind kind, std::string_view title, std::string_view text) override;
    void DoWait(std::chrono::milliseconds duration) override;
    void ApplyCursor(Cursor c) override { cursorHistory_.push_back(c); }

private:
    UiCall& Record(UiCallKind kind, std::string_view title, std::string_view text);
    ConfirmResult NextAnswer();

    std::vector<UiCall> calls_;
    std::deque<ConfirmResult> answers_;
    ConfirmResult defaultAnswer_ = ConfirmResult::Yes;
    std::deque<std::optional<std::string>> openResults_, saveResults_;
    bool openDocumentOk_ = true, showHelpOk_ = true;
    std::string clipboard_;
    std::vector<Cursor> cursorHistory_;
};

}  // namespace clx
