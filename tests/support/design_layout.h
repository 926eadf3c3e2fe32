#pragma once

// The dialog's design, written out independently of the program's own table (dialog/layout.h):
// the tests compare the program with these, never the program with itself. Tab order; each
// control is named by its id, the one thing taken from the program.
#include <array>
#include <ostream>

#include "dialog/layout.h"

namespace vantle::testing {

struct Placement {
    int left, top, width, height;
    bool operator==(const Placement&) const = default;
};

inline void PrintTo(const Placement& p, std::ostream* out) {
    *out << "{" << p.left << ", " << p.top << ", " << p.width << ", " << p.height << "}";
}

struct DesignedControl {
    const wchar_t* name;
    int id;
    Placement twips;
};

inline constexpr std::array<DesignedControl, 10> kDesign{{
    {L"lblServer", kIdLblServer, {120, 120, 2175, 255}},
    {L"txtServer", kIdServer, {120, 360, 3375, 315}},
    {L"lblDatabase", kIdLblDatabase, {120, 840, 2175, 255}},
    {L"txtDB", kIdDatabase, {120, 1080, 3375, 315}},
    {L"Label1", kIdLabel1, {120, 1560, 2175, 255}},
    {L"txtUser", kIdUser, {120, 1800, 3375, 315}},
    {L"Label2", kIdLabel2, {120, 2280, 2175, 255}},
    {L"txtPassword", kIdPassword, {120, 2520, 3375, 315}},
    {L"cmdCancel", kIdCancel, {3960, 2040, 1455, 375}},
    {L"cmdOK", kIdOk, {3960, 2520, 1455, 375}},
}};

// The same placements in pixels, worked out by hand: each edge (left, top, right, bottom)
// converted with halves rounded up, width and height taken between the converted edges.
struct PixelDesign {
    int dpi;
    int clientWidth, clientHeight;  // 5580 x 2985 twips
    std::array<Placement, 10> controls;
};

inline constexpr std::array<PixelDesign, 3> kPixelDesigns{{
    {96,
     372,
     199,
     {{{8, 8, 145, 17},
       {8, 24, 225, 21},
       {8, 56, 145, 17},
       {8, 72, 225, 21},
       {8, 104, 145, 17},
       {8, 120, 225, 21},
       {8, 152, 145, 17},
       {8, 168, 225, 21},
       {264, 136, 97, 25},
       {264, 168, 97, 25}}}},
    {120,
     465,
     249,
     {{{10, 10, 181, 21},
       {10, 30, 281, 26},
       {10, 70, 181, 21},
       {10, 90, 281, 26},
       {10, 130, 181, 21},
       {10, 150, 281, 26},
       {10, 190, 181, 21},
       {10, 210, 281, 26},
       {330, 170, 121, 31},
       {330, 210, 121, 31}}}},
    {144,
     558,
     299,
     {{{12, 12, 218, 26},
       {12, 36, 338, 32},
       {12, 84, 218, 26},
       {12, 108, 338, 32},
       {12, 156, 218, 26},
       {12, 180, 338, 32},
       {12, 228, 218, 26},
       {12, 252, 338, 32},
       {396, 204, 146, 38},
       {396, 252, 146, 38}}}},
}};

}  // namespace vantle::testing
