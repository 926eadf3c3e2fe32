#include "support/screen_win.h"

namespace vantle::testing {

using namespace std::chrono_literals;

ScreenPixels::ScreenPixels(const RECT& area)
    : area_(area), width_(area.right - area.left), height_(area.bottom - area.top) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const DWORD*>(bits);
    pixels_.assign(first, first + static_cast<size_t>(width_) * static_cast<size_t>(height_));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

namespace {

COLORREF FromDib(DWORD bgr) {
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);  // DIB order: 0x00RRGGBB
}

}  // namespace

COLORREF ScreenPixels::At(int x, int y) const {
    return FromDib(pixels_[static_cast<size_t>(y - area_.top) * static_cast<size_t>(width_) +
                           static_cast<size_t>(x - area_.left)]);
}

std::vector<COLORREF> ScreenPixels::All() const {
    std::vector<COLORREF> all;
    all.reserve(pixels_.size());
    for (const DWORD pixel : pixels_) all.push_back(FromDib(pixel));
    return all;
}

HWND StartInFront(ChildProcess& process, const std::filesystem::path& exe,
                  const EnvironmentOverrides& environment) {
    process = ChildProcess::Start(exe, L"\"" + exe.wstring() + L"\"", environment);
    WaitForInputIdle(process.Handle(), 30000);
    const HWND form = WaitForTopWindow(process.Id(), L"Setup Vantle Tables", 30s);
    if (form == nullptr) return nullptr;
    SetWindowPos(form, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(form);
    WaitUntilNothingToPaint(form);
    return form;
}

void WaitUntilNothingToPaint(HWND form) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    WaitUntil(
        [form] {
            if (GetUpdateRect(form, nullptr, FALSE)) return false;
            for (HWND c = GetWindow(form, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
                if (GetUpdateRect(c, nullptr, FALSE)) return false;
            }
            return true;
        },
        5s);
}

}  // namespace vantle::testing
