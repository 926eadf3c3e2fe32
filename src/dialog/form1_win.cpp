#include "dialog/form1_win.h"

#include "dialog/connection_defaults.h"
#include "dialog/dpi_win.h"
#include "dialog/error_report_win.h"
#include "dialog/layout.h"
#include "common/message_wait_win.h"

#include <algorithm>

namespace vantle {
namespace {

constexpr const wchar_t* kWindowClass = kDialogWindowClass;
// A fixed dialog frame: no sizing border, no minimize or maximize box.
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr UINT_PTR kBusyLookTimer = 1;

int FieldControlId(Field field) {
    switch (field) {
        case Field::Server:
            return kIdServer;
        case Field::Database:
            return kIdDatabase;
        case Field::User:
            return kIdUser;
        case Field::Password:
            return kIdPassword;
    }
    return 0;
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
}

// The designed label rectangles reach one row (two at 144 DPI) into the field below them, and
// a label paints its whole client area, over the top of that field's frame. Each label keeps
// its designed rectangle and its place just before its field in the window order (which is how
// screen readers name the field), but the rows another control covers become non-client, where
// the label paints nothing. A window region would not do: the static class draws with its
// parent's clipping (CS_PARENTDC), which leaves the region out.
constexpr wchar_t kStaticProcProperty[] = L"VantleStaticProc";
constexpr wchar_t kCoveredRowsProperty[] = L"VantleCoveredRows";

LRESULT CALLBACK LabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto staticProc = reinterpret_cast<WNDPROC>(GetPropW(label, kStaticProcProperty));
    const LRESULT result = CallWindowProcW(staticProc, label, message, wParam, lParam);
    if (message == WM_NCCALCSIZE) {
        // Both forms of the message start with the client rectangle being computed.
        auto* client = reinterpret_cast<RECT*>(lParam);
        const auto covered = reinterpret_cast<INT_PTR>(GetPropW(label, kCoveredRowsProperty));
        client->bottom = std::max(client->top, client->bottom - static_cast<LONG>(covered));
    } else if (message == WM_NCDESTROY) {
        RemovePropW(label, kStaticProcProperty);
        RemovePropW(label, kCoveredRowsProperty);
    }
    return result;
}

// Esc (Cancel), Alt+F4 (the close box) and Alt+Space (the system menu, with its Close).
bool IsWayOut(const MSG& input) {
    if (input.message == WM_KEYDOWN) return input.wParam == VK_ESCAPE;
    if (input.message == WM_SYSKEYDOWN) return input.wParam == VK_F4 || input.wParam == VK_SPACE;
    return false;
}

}  // namespace

Form1::Form1(HINSTANCE instance, const ProfileReader& profiles, const Environment& environment,
             OkAction okAction)
    : instance_(instance),
      profiles_(profiles),
      environment_(environment),
      okAction_(std::move(okAction)),
      // Manual-reset: a stop asked for stays asked until OK starts the next run.
      stopRequest_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void Form1::Run() {
    RunHandler(nullptr, [this] { Create(); });
    RunHandler(window_.Get(), [this] { Form_Load(); });
    CenterOnScreen();
    ShowWindow(window_.Get(), SW_SHOWNORMAL);
    SetForegroundWindow(window_.Get());
    SetFocus(Control(kIdServer));

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The dialog manager gives Tab, Esc (IDCANCEL) and the focus rules of a dialog.
        if (IsDialogMessageW(window_.Get(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CloseAndEnd();
}

void Form1::Create() {
    RegisterWindowClass(instance_, &Form1::WindowProc);
    // An owned window has no taskbar button; the hidden owner is never shown.
    owner_.Reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 instance_, nullptr));
    // WM_NCCREATE stores the handle in window_, so messages sent during creation find it.
    const HWND created =
        CreateWindowExW(kWindowExStyle, kWindowClass, kDialogCaption, kWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 100, 100, owner_.Get(), nullptr, instance_, this);
    if (created == nullptr) {
        throw Error(ErrorNumber(HRESULT_FROM_WIN32(GetLastError())), L"Form1",
                    L"The setup dialog could not be created");
    }
    CreateControls();
    ApplyLayout(WindowDpi(window_.Get()));
}

void Form1::CreateControls() {
    for (const ControlDesign& design : kControls) {
        const wchar_t* windowClass = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD exStyle = 0;
        switch (design.kind) {
            case ControlKind::Label:
                style |= SS_LEFT | SS_NOPREFIX;  // labels never take the focus
                break;
            case ControlKind::TextField:
            case ControlKind::PasswordField:
                windowClass = L"EDIT";
                style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
                if (design.kind == ControlKind::PasswordField) style |= ES_PASSWORD;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::Button:
                windowClass = L"BUTTON";
                style |= WS_TABSTOP | BS_PUSHBUTTON;  // never BS_DEFPUSHBUTTON: Enter is inert
                break;
        }
        const HWND control = CreateWindowExW(
            exStyle, windowClass, design.caption, style, 0, 0, 0, 0, window_.Get(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance_, nullptr);
        if (design.kind == ControlKind::TextField || design.kind == ControlKind::PasswordField) {
            SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // 0 = the largest limit there is
        }
        if (design.kind == ControlKind::Label) {
            SetPropW(control, kStaticProcProperty,
                     reinterpret_cast<HANDLE>(GetWindowLongPtrW(control, GWLP_WNDPROC)));
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LabelProc));
        }
        if (design.kind == ControlKind::PasswordField) {
            // Visual styles would show a bullet; the dialog shows "*" for every character.
            SendMessageW(control, EM_SETPASSWORDCHAR, kPasswordChar, 0);
        }
    }
}

void Form1::ApplyLayout(UINT dpi) {
    const int scale = static_cast<int>(dpi);
    LOGFONTW logFont = MessageFontForDpi(dpi);
    UniqueFont font(CreateFontIndirectW(&logFont));
    for (const ControlDesign& design : kControls) {
        const PixelRect r = ToPixels(design.twips, scale);
        const HWND control = Control(design.id);
        if (design.kind == ControlKind::Label) {
            const INT_PTR covered = CoveredBottomRows(design, scale);
            SetPropW(control, kCoveredRowsProperty, reinterpret_cast<HANDLE>(covered));
        }
        // Frame changed: a label's client area depends on the DPI, not only on its size.
        SetWindowPos(control, nullptr, r.left, r.top, r.width, r.height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    }
    // A control keeps using the font it holds (to measure and draw) until it is handed
    // another: the old one may go only now.
    font_ = std::move(font);
}

void Form1::CenterOnScreen() {
    const UINT dpi = WindowDpi(window_.Get());
    const SIZE client{TwipsToPixels(kClientWidthTwips, static_cast<int>(dpi)),
                      TwipsToPixels(kClientHeightTwips, static_cast<int>(dpi))};
    const RECT frame = WindowRectForClient(client, kWindowStyle, kWindowExStyle, dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_.Get(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& screen = monitor.rcMonitor;
    const int left = screen.left + (screen.right - screen.left - width) / 2;
    const int top = screen.top + (screen.bottom - screen.top - height) / 2;
    SetWindowPos(window_.Get(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring Form1::Text(Field field) const {
    const HWND control = Control(FieldControlId(field));
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

void Form1::SetText(Field field, const std::wstring& text) {
    SetWindowTextW(Control(FieldControlId(field)), text.c_str());
}

std::wstring Form1::INIRead(const std::wstring& sSection, const std::wstring& sKeyName,
                            const std::wstring& sINIFileName) const {
    return profiles_.INIRead(sSection, sKeyName, sINIFileName);
}

void Form1::Form_Load() {
    LoadConnectionDefaults(*this, *this, environment_);
}

void Form1::cmdOK_Click() {
    if (!okAction_) return;
    inRun_ = true;
    // A stop belongs to the run it was asked in: this one starts with none.
    ResetEvent(stopRequest_.Get());
    struct EndOfRun {
        bool& inRun;
        ~EndOfRun() { inRun = false; }
    } endOfRun{inRun_};
    okAction_(*this);
}

void Form1::cmdCancel_Click() {
    CloseAndEnd();
}

void Form1::EnableInput(bool enable) {
    // Everything but Cancel, which stays for the operator's way out.
    for (const int id : {kIdServer, kIdDatabase, kIdUser, kIdPassword, kIdOk})
        EnableWindow(Control(id), enable ? TRUE : FALSE);
}

void Form1::BeginBusy(BusyStep step) {
    const HWND window = window_.Get();
    if (!busy_) {
        busy_ = true;
        const HWND focus = GetFocus();
        focusBeforeBusy_ = focus != nullptr && IsChild(window, focus) ? focus : nullptr;
        // Keys go to the dialog itself, where Esc still means Cancel and Enter means nothing;
        // the fields and OK take none meanwhile (see HoldsInput).
        SetFocus(window);
        SetTimer(window, kBusyLookTimer, kBusyLookDelayMs, nullptr);
    }
    if (step_.shutdownBlockReason != step.shutdownBlockReason) {
        if (!step_.shutdownBlockReason.empty()) ShutdownBlockReasonDestroy(window);
        if (!step.shutdownBlockReason.empty())
            ShutdownBlockReasonCreate(window, step.shutdownBlockReason.c_str());
    }
    step_ = std::move(step);
    if (busyShown_)
        SetWindowTextW(window, (std::wstring(kDialogCaption) + L" - " + step_.caption).c_str());
}

void Form1::ShowBusy() {
    const HWND window = window_.Get();
    busyShown_ = true;
    // A disabled control would hold the focus and take no key, Esc included.
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window, focus) && focus != Control(kIdCancel)) SetFocus(window);
    EnableInput(false);
    SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
    // Last, so that whoever sees the step named sees the rest of the look too.
    SetWindowTextW(window, (std::wstring(kDialogCaption) + L" - " + step_.caption).c_str());
}

void Form1::EndBusy() {
    const HWND window = window_.Get();
    KillTimer(window, kBusyLookTimer);
    // What was typed or clicked while busy is not for the dialog, nor for the box that may
    // follow: an Enter meant for nothing must not answer a question.
    DiscardPendingInput();
    if (!step_.shutdownBlockReason.empty()) ShutdownBlockReasonDestroy(window);
    step_ = BusyStep{};
    if (busyShown_) {
        SetWindowTextW(window, kDialogCaption);
        EnableInput(true);
    }
    busy_ = false;
    if (focusBeforeBusy_ != nullptr && IsChild(window, focusBeforeBusy_) &&
        GetFocus() != focusBeforeBusy_)
        SetFocus(focusBeforeBusy_);
    if (busyShown_) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    busyShown_ = false;
}

bool Form1::HoldsInput(const MSG& input) {
    // Greyed or not yet, the fields and OK take nothing while busy.
    const HWND window = window_.Get();
    if (input.hwnd != window && input.hwnd != Control(kIdCancel) && IsChild(window, input.hwnd)) {
        // Except the operator's ways out, whatever the focus was when they were typed (a field
        // greyed since, say): the dialog takes them as its own.
        if (IsWayOut(input)) PostMessageW(window, input.message, input.wParam, input.lParam);
        return true;
    }
    // The dialog manager would take the focus to the first field, not greyed yet; Cancel is
    // the one stop left, as it is once they are.
    if (!busyShown_ && input.message == WM_KEYDOWN && input.wParam == VK_TAB) {
        SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        SetFocus(Control(kIdCancel));
        return true;
    }
    return false;
}

void Form1::CancelWhileRunning() {
    // Under an open question or report nothing is taken; nor twice while the operator is
    // still being asked.
    if (!busy_ || askingToStop_) return;
    if (step_.confirmStop) {
        askingToStop_ = true;
        bool stop = false;
        RunHandler(window_.Get(), [&] { stop = step_.confirmStop(); });
        askingToStop_ = false;
        // The run waits beneath the question, so the step is still this one. A tool that ended
        // by itself meanwhile is seen first; the run then finds the stop before it starts
        // anything more (see StopAsked).
        if (!stop) return;
    }
    SetEvent(stopRequest_.Get());
}

bool Form1::StopAsked() {
    DeliverQueuedMessages();
    return WaitForSingleObject(stopRequest_.Get(), 0) == WAIT_OBJECT_0;
}

HWND Form1::FocusOnActivation() const {
    const HWND cancel = Control(kIdCancel);
    // Not greyed yet, a field or OK would be given every key, and take none: Esc would do
    // nothing. Cancel keeps the focus it was given (a Tab).
    if (busy_) return focusOnDeactivate_ == cancel ? cancel : window_.Get();
    // A control disabled since (busy) is left alone: holding the focus, it would swallow Esc.
    // The default gives the focus to the dialog itself.
    if (focusOnDeactivate_ != nullptr && IsChild(window_.Get(), focusOnDeactivate_) &&
        IsWindowEnabled(focusOnDeactivate_))
        return focusOnDeactivate_;
    return nullptr;
}

void Form1::CloseAndEnd() {
    window_.Reset();
    owner_.Reset();
    ExitProcess(0);
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Form1*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.Reset(window);
    }
    auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_.Get();
    if (const UINT heldQuery = InputHeldQuery(); heldQuery != 0 && message == heldQuery)
        return busy_ && HoldsInput(*reinterpret_cast<const MSG*>(lParam)) ? TRUE : FALSE;
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) break;
            // IDOK (1) arrives when Enter is pressed in a field; it is not a command here.
            if (LOWORD(wParam) == kIdOk && !inRun_) RunHandler(window, [this] { cmdOK_Click(); });
            if (LOWORD(wParam) == kIdCancel) {
                // Half-way through a run, ending at once would leave no word of what happened.
                if (inRun_) {
                    CancelWhileRunning();
                } else {
                    RunHandler(window, [this] { cmdCancel_Click(); });
                }
            }
            return 0;
        case WM_CLOSE:
            // The close box, Alt+F4 and another program's WM_CLOSE mean Cancel.
            if (inRun_) {
                CancelWhileRunning();
                return 0;
            }
            // Closing the only window unloads the dialog and so ends the program.
            CloseAndEnd();
        case WM_QUERYENDSESSION:
            // Logging off in the middle of the script would cut a batch short.
            return step_.shutdownBlockReason.empty() ? TRUE : FALSE;
        case WM_TIMER:
            if (wParam != kBusyLookTimer) break;
            KillTimer(window, kBusyLookTimer);
            // One may still be queued after the step it was set for has ended.
            if (busy_ && !busyShown_) ShowBusy();
            return 0;
        case WM_SETCURSOR:
            if (!busyShown_) break;
            // Busy, but Cancel still answers: the pointer that says so.
            SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
            return TRUE;
        case WM_ACTIVATE:
            // A modeless window must keep its own focus across deactivation. A disabled one
            // has none to keep, and must not forget the one it had.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus != nullptr && IsChild(window, focus)) focusOnDeactivate_ = focus;
            } else if (const HWND focus = FocusOnActivation(); focus != nullptr) {
                SetFocus(focus);
                return 0;
            }
            break;
        case WM_NCDESTROY:
            window_.Release();
            break;
        case WM_CTLCOLORSTATIC: {
            // A parent that answers this message sets the text colour too: the label's DC
            // starts with black, which a high-contrast scheme's dark face would swallow.
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DPICHANGED: {
            ApplyLayout(HIWORD(wParam));
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace vantle
