#pragma once

#include "common/unique_handle_win.h"

namespace vantle {

// One copy of the program per Windows (Terminal Services) session, through a named mutex in
// the session's namespace; the mutex lives as long as the first copy does.
class SingleInstance {
  public:
    SingleInstance();
    bool IsFirst() const noexcept { return first_; }
    // Brings the first copy's dialog to the front, restored if it was minimised. The first
    // copy may still be starting: its dialog is waited for a little while.
    static void BringFirstCopyToFront();

  private:
    UniqueHandle mutex_;
    bool first_ = true;
};

}  // namespace vantle
