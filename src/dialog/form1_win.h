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

    HINSTANCE instance_;
    const ProfileReader& profiles_;
    const Environment& environment_;
    OkAction okAction_;
    UniqueWindow owner_;
    UniqueWindow window_;
    UniqueFont font_;
    HWND focusOnDeactivate_ = nullptr;
};

}  // namespace vantle
