#include "app/single_instance_win.h"

#include "common/app_identity.h"

namespace vantle {

namespace {

// Read right after CreateMutexW, before anything else can set the thread's last error.
bool IsFirstCopy(bool created) {
    const DWORD error = GetLastError();
    // Access denied: the mutex exists, made by a copy with other rights (an elevated one, say).
    if (!created) return error != ERROR_ACCESS_DENIED;
    return error != ERROR_ALREADY_EXISTS;
}

}  // namespace

SingleInstance::SingleInstance()
    : mutex_(CreateMutexW(nullptr, FALSE, kSingleInstanceMutex)),
      // Without a mutex for any other reason nothing can be told; the copy runs as before.
      first_(IsFirstCopy(static_cast<bool>(mutex_))) {}

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
