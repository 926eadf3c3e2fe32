#pragma once

#include <windows.h>

#include "install/install_run.h"

namespace vantle {

// Message boxes owned by the dialog, so the dialog takes no input while one is up.
class WindowsInstallPrompt final : public InstallPrompt {
  public:
    explicit WindowsInstallPrompt(HWND owner) : owner_(owner) {}
    bool ConfirmRerun(const std::wstring& text, const std::wstring& title) override;
    void ReportError(const std::wstring& text) override;
    void ReportOutcome(const std::wstring& text) override;

    // Yes/No, question icon, No the default: 4 + 32 + 256.
    static constexpr UINT kConfirmStyle = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
    static_assert(kConfirmStyle == 292);

  private:
    HWND owner_;
};

}  // namespace vantle
