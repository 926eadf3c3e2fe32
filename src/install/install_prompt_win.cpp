#include "install/install_prompt_win.h"

#include "common/app_identity.h"

namespace vantle {

bool WindowsInstallPrompt::ConfirmRerun(const std::wstring& text, const std::wstring& title) {
    // Only Yes installs again: No, and Esc where the platform lets it close the box, do not.
    return MessageBoxW(owner_, text.c_str(), title.c_str(), kConfirmStyle) == IDYES;
}

void WindowsInstallPrompt::ReportError(const std::wstring& text) {
    MessageBoxW(owner_, text.c_str(), kAppCaption, MB_OK | MB_ICONERROR);
}

void WindowsInstallPrompt::ReportOutcome(const std::wstring& text) {
    MessageBoxW(owner_, text.c_str(), kAppCaption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace vantle
