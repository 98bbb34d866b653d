// The one way the program tells the user that something happened: a short
// notice in the band at the bottom of the window, for a few seconds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr uint64_t kNoticeMilliseconds = 3000;

// Shows the notice from now on, in place of any earlier one, and asks for a
// repaint. Safe from any thread; never waits for the window.
void PostWindowNotice(std::string_view szUtf8Text);

// The notice to draw at tick qwNow (ClockTicks), or empty when none is due.
std::string CurrentWindowNotice(uint64_t qwNow);

// The notice due at qwNow (empty when none, and then nothing is copied) and
// the tick at which it ends: the painter has to take it away then.
struct WindowNotice {
  std::string szText;
  uint64_t qwUntil = 0;
};
WindowNotice DueWindowNotice(uint64_t qwNow);
