#include "platform/ui.h"

namespace clx {

std::string BarsToLineBreaks(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '|') c = '\n';
    return out;
}

// A message always shows the default cursor, even when the stack is full: then the
// previous cursor is kept here instead of on the stack.
class UiServices::MessageCursor {
public:
    explicit MessageCursor(UiServices& ui) : ui_(ui), saved_(ui.current_) {
        stacked_ = ui_.ignored_ == 0 && ui_.stack_.size() < kCursorStackLimit;
        if (stacked_)
            ui_.PushCursor(Cursor::Default);
        else
            ui_.SetCursor(Cursor::Default);
    }
    ~MessageCursor() {
        if (stacked_)
            ui_.PopCursor();
        else
            ui_.SetCursor(saved_);
    }
    MessageCursor(const MessageCursor&) = delete;
    MessageCursor& operator=(const MessageCursor&) = delete;

private:
    UiServices& ui_;
    Cursor saved_;
    bool stacked_ = false;
};

void UiServices::SetCursor(Cursor c) {
    current_ = c;
    ApplyCursor(c);
}

void UiServices::PushCursor(Cursor c) {
    if (ignored_ > 0 || stack_.size() >= kCursorStackLimit) {
        ++ignored_;
        return;
    }
    stack_.push_back(current_);
    SetCursor(c);
}

void UiServices::PopCursor() {
    if (ignored_ > 0) {
        --ignored_;
        return;
    }
    if (stack_.empty()) {
        SetCursor(Cursor::Default);
        return;
    }
    Cursor c = stack_.back();
    stack_.pop_back();
    SetCursor(c);
}

ConfirmResult UiServices::Confirm(std::string_view text, std::string_view title) {
    MessageCursor guard(*this);
    return DoConfirm(title, text);
}

bool UiServices::Ask(std::string_view text, std::string_view title) {
    MessageCursor guard(*this);
    return DoAsk(title, text);
}

void UiServices::Inform(std::string_view text, std::string_view title) {
    MessageCursor guard(*this);
    DoShowMessage(MessageKind::Inform, title, text);
}

void UiServices::Error(std::string_view text, std::string_view title) {
    MessageCursor guard(*this);
    DoShowMessage(MessageKind::Error, title, BarsToLineBreaks(text));
}

void UiServices::Information(std::string_view text, std::string_view title) {
    MessageCursor guard(*this);
    DoShowMessage(MessageKind::Information, title, BarsToLineBreaks(text));
}

void UiServices::Wait(std::chrono::milliseconds duration) {
    BusyCursor busy(*this);
    DoWait(duration);
}

}  // namespace clx
