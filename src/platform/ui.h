#pragma once
// What a window asks of the desktop: messages, file dialogs, clipboard, shell, help, waits
// and the mouse cursor. The GUI implements the Do* hooks; tests use FakeUi (fake_ui.h).
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace clx {

enum class Cursor { Default, Arrow, HourGlass, AppStart, IBeam, HandPoint };

enum class ConfirmResult { Yes, No, Cancel };

// The five message routines.
enum class MessageKind { Confirm, Ask, Inform, Error, Information };

struct FileDialogOptions {
    std::string title;
    std::string filter;      // "Documents (*.cxz)|*.cxz|All files (*.*)|*.*"
    std::string initialDir;
    std::string fileName;
    std::string defaultExt;  // without the point; added by save dialogs when the name has none
};

// The model of a modal child window. The desktop shows it by its name (a dialog with the
// model's controls) and returns when the user closes it; the model then holds the user's choice.
class ModalForm {
public:
    virtual ~ModalForm() = default;
    virtual std::string_view FormName() const = 0;
};

// "|" stands for a line break in error and information texts.
std::string BarsToLineBreaks(std::string_view text);

class UiServices {
public:
    static constexpr std::size_t kCursorStackLimit = 128;

    virtual ~UiServices() = default;

    // Every message runs with the default cursor and gives the previous one back afterwards,
    // also when the implementation throws.
    ConfirmResult Confirm(std::string_view text, std::string_view title = {});
    bool Ask(std::string_view text, std::string_view title = {});  // true for Yes
    void Inform(std::string_view text, std::string_view title = {});
    void Error(std::string_view text, std::string_view title = {});
    void Information(std::string_view text, std::string_view title = {});

    // Cursor stack. Push saves the current cursor and shows the given one; Pop shows the saved
    // one again, or the default cursor when nothing is saved. Pushes beyond the limit are
    // counted but neither stored nor shown; each later Pop first uncounts one of them without
    // touching the cursor, so nesting stays balanced and the outer levels restore correctly.
    void PushCursor(Cursor c);
    void PopCursor();
    Cursor CurrentCursor() const { return current_; }
    std::size_t CursorDepth() const { return stack_.size(); }   // stored entries only
    std::size_t IgnoredPushes() const { return ignored_; }

    virtual std::optional<std::string> OpenFileDialog(const FileDialogOptions& opt) = 0;
    virtual std::optional<std::string> SaveFileDialog(const FileDialogOptions& opt) = 0;

    virtual void SetClipboardText(std::string_view text) = 0;
    virtual std::string ClipboardText() = 0;

    // Opens a file or an address with its associated application; false when that failed.
    virtual bool OpenDocument(std::string_view fileOrAddress) = 0;

    // Shows the help file at a topic (help context number); false when it cannot be shown.
    virtual bool ShowHelp(std::string_view helpFile, int context) = 0;

    // Lets pending events run.
    virtual void ProcessMessages() = 0;
    // Shows a modal child window; false when it could not be shown (the model is unchanged).
    virtual bool ShowModal(ModalForm& form) { (void)form; return false; }

    // Waits the given time with the busy cursor while events keep running.
    void Wait(std::chrono::milliseconds duration);

protected:
    // The texts reaching these hooks have their line breaks already in place.
    virtual ConfirmResult DoConfirm(std::string_view title, std::string_view text) = 0;
    virtual bool DoAsk(std::string_view title, std::string_view text) = 0;
    // Inform, Error and Information.
    virtual void DoShowMessage(MessageKind kind, std::string_view title, std::string_view text) = 0;
    virtual void DoWait(std::chrono::milliseconds duration) = 0;
    // Makes the screen show the cursor.
    virtual void ApplyCursor(Cursor c) = 0;

private:
    class MessageCursor;
    void SetCursor(Cursor c);

    std::vector<Cursor> stack_;
    std::size_t ignored_ = 0;
    Cursor current_ = Cursor::Default;
};

// Shows the hourglass for the lifetime of the object; without a desktop (null) does nothing.
class BusyCursor {
public:
    explicit BusyCursor(UiServices& ui) : BusyCursor(&ui) {}
    explicit BusyCursor(UiServices* ui) : ui_(ui) { if (ui_) ui_->PushCursor(Cursor::HourGlass); }
    ~BusyCursor() { if (ui_) ui_->PopCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    UiServices* ui_;
};

}  // namespace clx
