#include "platform/fake_ui.h"

namespace clx {

UiCall& FakeUi::Record(UiCallKind kind, std::string_view title, std::string_view text) {
    UiCall call;
    call.kind = kind;
    call.title = std::string(title);
    call.text = std::string(text);
    call.cursor = CurrentCursor();
    calls_.push_back(std::move(call));
    return calls_.back();
}

ConfirmResult FakeUi::NextAnswer() {
    if (answers_.empty()) return defaultAnswer_;
    ConfirmResult a = answers_.front();
    answers_.pop_front();
    return a;
}

std::vector<UiCall> FakeUi::Messages() const {
    std::vector<UiCall> out;
    for (const auto& c : calls_)
        if (c.kind <= UiCallKind::Information) out.push_back(c);
    return out;
}

std::vector<std::string> FakeUi::Texts(UiCallKind kind) const {
    std::vector<std::string> out;
    for (const auto& c : calls_)
        if (c.kind == kind) out.push_back(c.text);
    return out;
}

ConfirmResult FakeUi::DoConfirm(std::string_view title, std::string_view text) {
    ConfirmResult a = NextAnswer();
    Record(UiCallKind::Confirm, title, text).answer = a;
    return a;
}

bool FakeUi::DoAsk(std::string_view title, std::string_view text) {
    ConfirmResult a = NextAnswer();
    Record(UiCallKind::Ask, title, text).answer = a;
    return a == ConfirmResult::Yes;
}

void FakeUi::DoShowMessage(MessageKind kind, std::string_view title, std::string_view text) {
    UiCallKind k = kind == MessageKind::Error         ? UiCallKind::Error
                   : kind == MessageKind::Information ? UiCallKind::Information
                                                      : UiCallKind::Inform;
    Record(k, title, text);
}

void FakeUi::DoWait(std::chrono::milliseconds duration) {
    Record(UiCallKind::Wait, {}, {}).number = duration.count();
}

static std::optional<std::string> TakeResult(std::deque<std::optional<std::string>>& q) {
    if (q.empty()) return std::nullopt;
    auto r = std::move(q.front());
    q.pop_front();
    return r;
}

std::optional<std::string> FakeUi::OpenFileDialog(const FileDialogOptions& opt) {
    auto r = TakeResult(openResults_);
    Record(UiCallKind::OpenFileDialog, opt.title, r.value_or("")).dialog = opt;
    return r;
}

std::optional<std::string> FakeUi::SaveFileDialog(const FileDialogOptions& opt) {
    auto r = TakeResult(saveResults_);
    Record(UiCallKind::SaveFileDialog, opt.title, r.value_or("")).dialog = opt;
    return r;
}

void FakeUi::SetClipboardText(std::string_view text) {
    clipboard_ = std::string(text);
    Record(UiCallKind::SetClipboard, {}, text);
}

std::string FakeUi::ClipboardText() {
    Record(UiCallKind::GetClipboard, {}, clipboard_);
    return clipboard_;
}

bool FakeUi::OpenDocument(std::string_view fileOrAddress) {
    Record(UiCallKind::OpenDocument, {}, fileOrAddress);
    return openDocumentOk_;
}

bool FakeUi::ShowModal(ModalForm& form) {
    Record(UiCallKind::ShowModal, form.FormName(), {});
    return onShowModal ? onShowModal(form) : false;
}

bool FakeUi::ShowHelp(std::string_view helpFile, int context) {
    Record(UiCallKind::ShowHelp, {}, helpFile).number = context;
    return showHelpOk_;
}

void FakeUi::ProcessMessages() { Record(UiCallKind::ProcessMessages, {}, {}); }

}  // namespace clx
