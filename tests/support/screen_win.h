#pragma once

// Reading what a real window put on the screen under Xvfb: GetDC(NULL) and BitBlt see the
// screen's own pixels, the same as a screenshot.
#include <windows.h>

#include <filesystem>
#include <vector>

#include "support/win_test_support.h"

namespace vantle::testing {

// The screen's pixels inside one rectangle (screen coordinates), as they were when taken.
class ScreenPixels {
  public:
    explicit ScreenPixels(const RECT& area);

    // The colour at screen point (x, y), which must lie inside the area.
    COLORREF At(int x, int y) const;
    // Every pixel, row by row.
    std::vector<COLORREF> All() const;
    bool operator==(const ScreenPixels& other) const { return pixels_ == other.pixels_; }

  private:
    RECT area_;
    int width_;
    int height_;
    std::vector<DWORD> pixels_;
};

// Starts `exe` in `process`, brings its dialog in front of everything and returns it once
// nothing of it is waiting to be painted; nullptr when no dialog came.
HWND StartInFront(ChildProcess& process, const std::filesystem::path& exe,
                  const EnvironmentOverrides& environment);

// Paints are the last thing a window does once its queue is empty: waits for an answer to a
// sent message, then for no part of `form` to be waiting for a paint.
void WaitUntilNothingToPaint(HWND form);

}  // namespace vantle::testing
