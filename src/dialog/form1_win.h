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

    // Held from OK until the dialog is usable again: the caption names the step, the cursor
    // over the dialog is the wait cursor, and the dialog acts on no input at all (commands,
    // the close box, Esc, keystrokes and clicks are dropped, none of them replayed later),
    // while it still repaints and answers the system. Released, all is as it was, the focus
    // where it was.
    class Busy {
      public:
        Busy(Form1& form, const std::wstring& step) : form_(form) { form_.BeginBusy(step); }
        ~Busy() { form_.EndBusy(); }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;
        void Step(const std::wstring& step) { form_.BeginBusy(step); }

      private:
        Form1& form_;
    };

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
    void BeginBusy(const std::wstring& step);
    void EndBusy();

    HINSTANCE instance_;
    const ProfileReader& profiles_;
    const Environment& environment_;
    OkAction okAction_;
    UniqueWindow owner_;
    UniqueWindow window_;
    UniqueFont font_;
    HWND focusOnDeactivate_ = nullptr;
    bool busy_ = false;
    HWND focusBeforeBusy_ = nullptr;
};

}  // namespace vantle
