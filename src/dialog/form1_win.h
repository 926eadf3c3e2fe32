#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/environment.h"
#include "common/unique_handle_win.h"
#include "dialog/dialog_fields.h"
#include "profile/profile_reader.h"

namespace vantle {

// The setup dialog: the program's only window. It owns the connection settings as the texts
// of its four fields for the program's lifetime.
class Form1 final : public DialogFields, public ProfileReader {
  public:
    using OkAction = std::function<void(Form1&)>;

    Form1(HINSTANCE instance, const ProfileReader& profiles, const Environment& environment,
          OkAction okAction);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window, runs the load step, shows it and pumps messages until the program
    // ends through the close-and-end step.
    [[noreturn]] void Run();

    std::wstring Text(Field field) const override;
    void SetText(Field field, const std::wstring& text) override;
    std::wstring INIRead(const std::wstring& sSection, const std::wstring& sKeyName,
                         const std::wstring& sINIFileName) const override;

    HWND Window() const noexcept { return window_.Get(); }

    // Short steps are the rule on a server that answers at once (some tens of milliseconds):
    // greying the fields and changing the caption for them would only flicker. Longer than
    // that with a margin for a loaded machine, and shorter than an operator takes to react to
    // a click that seems to have done nothing (about a fifth of a second).
    static constexpr UINT kBusyLookDelayMs = 150;

    // One step of a run that keeps the operator waiting (connecting, a tool running).
    struct BusyStep {
        std::wstring caption;  // named in the dialog's caption after its own
        // How Cancel, Esc, the close box and a WM_CLOSE from outside are taken meanwhile. Empty:
        // at once, StopRequest() is signalled. Otherwise it is called first (a question over
        // the dialog) and only true signals it. Only a step with a tool running asks.
        std::function<bool()> confirmStop;
        // Not empty: the session may not end during the step, and Windows shows this reason.
        std::wstring shutdownBlockReason;
    };

    // Held while a run's steps go on: the fields and OK take no input at all (commands,
    // keystrokes and clicks are dropped, none replayed later), Cancel (with Esc and the close
    // box) stays usable as the current step says, and the dialog repaints and answers the
    // system. Only once it has been held for kBusyLookDelayMs does it show: the caption names
    // the step, the fields and OK are greyed, the pointer says busy. Released, all is as it
    // was, the focus where it was; released sooner, nothing was ever shown.
    class Busy {
      public:
        Busy(Form1& form, BusyStep step) : form_(form) { form_.BeginBusy(std::move(step)); }
        ~Busy() { form_.EndBusy(); }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;
        void Next(BusyStep step) { form_.BeginBusy(std::move(step)); }

      private:
        Form1& form_;
    };

    // Signalled when the operator has asked to stop the run (see BusyStep): it stays so until
    // OK starts the next run, whatever step begins or ends meanwhile.
    HANDLE StopRequest() const noexcept { return stopRequest_.Get(); }

    // Whether the operator has asked to stop the run, once the input already queued has been
    // read: a way out given as a step ended counts, though the step's end was seen first.
    // Read between steps, before the outcome of the last one is acted on.
    bool StopAsked();

    // Unloads the dialog, then ends the program at once: no further message is delivered.
    [[noreturn]] void CloseAndEnd();

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Create();
    void CreateControls();
    void ApplyLayout(UINT dpi);
    void CenterOnScreen();
    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();
    HWND Control(int id) const { return GetDlgItem(window_.Get(), id); }
    void BeginBusy(BusyStep step);
    void ShowBusy();
    void EndBusy();
    bool HoldsInput(const MSG& input);
    void EnableInput(bool enable);
    void CancelWhileRunning();
    // Where the focus goes as the dialog is activated; nullptr: where the system puts it.
    HWND FocusOnActivation() const;

    HINSTANCE instance_;
    const ProfileReader& profiles_;
    const Environment& environment_;
    OkAction okAction_;
    UniqueWindow owner_;
    UniqueWindow window_;
    UniqueFont font_;
    HWND focusOnDeactivate_ = nullptr;
    // From OK until the dialog is the operator's again, including while a question or a
    // report is up: a further OK, or a Cancel that would end the program under an open box,
    // must not start anything (a click can come from UI Automation or another program).
    bool inRun_ = false;
    bool busy_ = false;
    bool busyShown_ = false;
    bool askingToStop_ = false;
    BusyStep step_;
    HWND focusBeforeBusy_ = nullptr;
    UniqueHandle stopRequest_;
};

}  // namespace vantle
