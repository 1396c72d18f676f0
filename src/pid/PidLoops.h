#pragma once
// The program's four loop objects and which of them the main window's loop
// selector points at. Loading settings replaces an entry by assigning a new
// clsPID to it, so hold an index, not a pointer, across events.

#include <array>

#include "pid/clsPID.h"

namespace tuvik {

class PidLoops {
  public:
    static constexpr int kCount = 4;
    static constexpr int kNone = -1;

    // Entries 0 and 1 as the program starts with them: the lambda loop and
    // the temperature loop, both without a link. Entries 2 and 3 stay fresh.
    void InitialiseStartupLoops();

    clsPID& operator[](int i) { return loops_.at(static_cast<size_t>(i)); }
    const clsPID& operator[](int i) const { return loops_.at(static_cast<size_t>(i)); }
    // nullptr outside 0..3.
    clsPID* at(int i) { return i >= 0 && i < kCount ? &loops_[static_cast<size_t>(i)] : nullptr; }

    // The selector's list index; kNone when nothing is selected.
    int selectedIndex() const { return selected_; }
    void SetSelectedIndex(int i) { selected_ = i; }
    // The selected loop, or nullptr when the index names none.
    clsPID* Selected() { return at(selected_); }

  private:
    std::array<clsPID, kCount> loops_;
    int selected_ = kNone;
};

}  // namespace tuvik
