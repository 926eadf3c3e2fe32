#pragma once

#include <array>

#include "common/app_identity.h"

namespace vantle {

// Positions are designed in twips (1/1440 inch) and converted at the window's actual DPI, so
// the dialog has the same physical size and stays sharp at 120 and 144 DPI.
constexpr int kTwipsPerInch = 1440;

// MulDiv-style rounding (halves away from zero), like the platform's own conversions.
constexpr int TwipsToPixels(int twips, int dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + kTwipsPerInch / 2) / kTwipsPerInch
                                        : -((-scaled + kTwipsPerInch / 2) / kTwipsPerInch));
}

struct PixelRect {
    int left, top, width, height;
    bool operator==(const PixelRect&) const = default;
};

struct TwipsRect {
    int left, top, width, height;
};

// Converts both edges rather than origin and size, so neighbouring controls that touch in
// twips still touch in pixels.
constexpr PixelRect ToPixels(const TwipsRect& r, int dpi) {
    const int left = TwipsToPixels(r.left, dpi);
    const int top = TwipsToPixels(r.top, dpi);
    return {left, top, TwipsToPixels(r.left + r.width, dpi) - left,
            TwipsToPixels(r.top + r.height, dpi) - top};
}

enum class ControlKind { Label, TextField, PasswordField, Button };

// Control identifiers. cmdCancel is IDCANCEL (2) so that Esc presses it; cmdOK deliberately
// is not IDOK (1), so that Enter, which the dialog manager turns into IDOK, presses nothing.
enum ControlId : int {
    kIdCancel = 2,
    kIdServer = 101,
    kIdDatabase = 102,
    kIdUser = 103,
    kIdPassword = 104,
    kIdLblServer = 111,
    kIdLblDatabase = 112,
    kIdLabel1 = 113,
    kIdLabel2 = 114,
    kIdOk = 1001,
};

struct ControlDesign {
    ControlKind kind;
    int id;
    const wchar_t* caption;
    TwipsRect twips;
};

constexpr int kClientWidthTwips = 5580;
constexpr int kClientHeightTwips = 2985;
constexpr const wchar_t* kDialogCaption = kAppCaption;

// In tab order: creation order is tab order for the dialog manager.
constexpr std::array<ControlDesign, 10> kControls{{
    {ControlKind::Label, kIdLblServer, L"Server", {120, 120, 2175, 255}},
    {ControlKind::TextField, kIdServer, L"", {120, 360, 3375, 315}},
    {ControlKind::Label, kIdLblDatabase, L"Database", {120, 840, 2175, 255}},
    {ControlKind::TextField, kIdDatabase, L"", {120, 1080, 3375, 315}},
    {ControlKind::Label, kIdLabel1, L"User", {120, 1560, 2175, 255}},
    {ControlKind::TextField, kIdUser, L"", {120, 1800, 3375, 315}},
    {ControlKind::Label, kIdLabel2, L"Password", {120, 2280, 2175, 255}},
    {ControlKind::PasswordField, kIdPassword, L"", {120, 2520, 3375, 315}},
    {ControlKind::Button, kIdCancel, L"Cancel", {3960, 2040, 1455, 375}},
    {ControlKind::Button, kIdOk, L"OK", {3960, 2520, 1455, 375}},
}};

constexpr wchar_t kPasswordChar = L'*';

// How many of a label's bottom pixel rows other controls cover at `dpi`: the designed labels
// reach 15 twips into the field below them, which rounds to one or two rows.
constexpr int CoveredBottomRows(const ControlDesign& label, int dpi) {
    const PixelRect own = ToPixels(label.twips, dpi);
    int rows = 0;
    for (const ControlDesign& other : kControls) {
        if (other.kind == ControlKind::Label) continue;
        const PixelRect r = ToPixels(other.twips, dpi);
        const bool overlaps = r.left < own.left + own.width && own.left < r.left + r.width &&
                              r.top < own.top + own.height && own.top < r.top + r.height;
        const int covered = own.top + own.height - r.top;
        if (overlaps && covered > rows) rows = covered;
    }
    return rows;
}

}  // namespace vantle
