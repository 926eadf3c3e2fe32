#include "dialog/layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/design_layout.h"

namespace vantle {
namespace {

TEST(TwipsToPixels, FifteenTwipsArePixelAt96Dpi) {
    EXPECT_EQ(TwipsToPixels(5580, 96), 372);
    EXPECT_EQ(TwipsToPixels(2985, 96), 199);
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(7, 96), 0);  // 0.47 px
    EXPECT_EQ(TwipsToPixels(8, 96), 1);  // 0.53 px
}

TEST(TwipsToPixels, ScalesWithTheDisplayAndRoundsHalvesUp) {
    EXPECT_EQ(TwipsToPixels(5580, 120), 465);
    EXPECT_EQ(TwipsToPixels(2985, 120), 249);  // 248.75
    EXPECT_EQ(TwipsToPixels(5580, 144), 558);
    EXPECT_EQ(TwipsToPixels(2985, 144), 299);  // 298.5
    EXPECT_EQ(TwipsToPixels(-15, 96), -1);
    EXPECT_EQ(TwipsToPixels(1'000'000'000, 192), 133'333'333);  // no 32-bit overflow
}

TEST(ControlLayout, MatchesTheDesignAt96Dpi) {
    // Every design value is a multiple of 15 twips, so 96 DPI is exact.
    EXPECT_EQ(ToPixels(kControls[1].twips, 96), (PixelRect{8, 24, 225, 21}));    // txtServer
    EXPECT_EQ(ToPixels(kControls[7].twips, 96), (PixelRect{8, 168, 225, 21}));   // txtPassword
    EXPECT_EQ(ToPixels(kControls[8].twips, 96), (PixelRect{264, 136, 97, 25}));  // cmdCancel
    EXPECT_EQ(ToPixels(kControls[9].twips, 96), (PixelRect{264, 168, 97, 25}));  // cmdOK
}

TEST(ControlLayout, EveryControlStandsWhereTheDesignPutsItAt96120And144Dpi) {
    using testing::Placement;
    ASSERT_EQ(kControls.size(), testing::kDesign.size());
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlDesign& control = kControls[i];
        SCOPED_TRACE(std::to_string(i));
        EXPECT_EQ(control.id, testing::kDesign[i].id) << "tab order";
        const TwipsRect& t = control.twips;
        EXPECT_EQ((Placement{t.left, t.top, t.width, t.height}), testing::kDesign[i].twips);
        for (const testing::PixelDesign& design : testing::kPixelDesigns) {
            const PixelRect r = ToPixels(t, design.dpi);
            EXPECT_EQ((Placement{r.left, r.top, r.width, r.height}), design.controls[i])
                << design.dpi << " DPI";
        }
    }
    for (const testing::PixelDesign& design : testing::kPixelDesigns) {
        EXPECT_EQ(TwipsToPixels(kClientWidthTwips, design.dpi), design.clientWidth);
        EXPECT_EQ(TwipsToPixels(kClientHeightTwips, design.dpi), design.clientHeight);
    }
}

TEST(ControlLayout, EdgesStayConsistentAtEveryScale) {
    for (const int dpi : {96, 120, 144, 168, 192}) {
        for (const ControlDesign& c : kControls) {
            const PixelRect r = ToPixels(c.twips, dpi);
            SCOPED_TRACE(std::to_string(dpi));
            // The right and bottom edges land where the design's edges do.
            EXPECT_EQ(r.left + r.width, TwipsToPixels(c.twips.left + c.twips.width, dpi));
            EXPECT_EQ(r.top + r.height, TwipsToPixels(c.twips.top + c.twips.height, dpi));
            // Every control stays inside the client area.
            EXPECT_LE(r.left + r.width, TwipsToPixels(kClientWidthTwips, dpi));
            EXPECT_LE(r.top + r.height, TwipsToPixels(kClientHeightTwips, dpi));
        }
    }
}

TEST(ControlLayout, IdsAreUniqueAndOnlyCancelUsesADialogCommand) {
    std::set<int> ids;
    for (const ControlDesign& c : kControls) EXPECT_TRUE(ids.insert(c.id).second) << c.id;
    // Esc sends IDCANCEL (2) and Enter sends IDOK (1): only Cancel may answer to either.
    EXPECT_EQ(kIdCancel, 2);
    EXPECT_EQ(ids.count(1), 0u);
}

TEST(ControlLayout, EachLabelLosesExactlyTheRowsItsFieldCovers) {
    // Label bottom 375 twips against field top 360 (and so on down the column): 25 against 24
    // pixels at 96 DPI, 31 against 30 at 120, 38 (37.5 rounded up) against 36 at 144.
    for (const ControlDesign& c : kControls) {
        if (c.kind != ControlKind::Label) continue;
        SCOPED_TRACE(std::to_string(c.id));
        EXPECT_EQ(CoveredBottomRows(c, 96), 1);
        EXPECT_EQ(CoveredBottomRows(c, 120), 1);
        EXPECT_EQ(CoveredBottomRows(c, 144), 2);
    }
}

}  // namespace
}  // namespace vantle
