#include "app/single_instance_win.h"

#include "common/app_identity.h"

namespace vantle {

SingleInstance::SingleInstance()
    : mutex_(CreateMutexW(nullptr, FALSE, kSingleInstanceMutex)),
      // Without a mutex (no handle at all) nothing can be told; the copy runs as before.
      first_(!mutex_ || GetLastError() != ERROR_ALREADY_EXISTS) {}

void SingleInstance::BringFirstCopyToFront() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        const HWND dialog = FindWindowW(kDialogWindowClass, nullptr);
        if (dialog != nullptr && IsWindowVisible(dialog)) {
            if (IsIconic(dialog)) ShowWindow(dialog, SW_RESTORE);
            // This copy was just started by the operator, so it may hand the foreground on.
            SetForegroundWindow(GetLastActivePopup(dialog));
            return;
        }
        Sleep(100);
    }
}

}  // namespace vantle
