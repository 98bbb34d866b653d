// Milliseconds and sleeps for the capture side. Nothing there reads time or
// sleeps any other way, so tests can swap in a virtual clock in which a sleep
// advances time at once and minutes of reconnect logic run in milliseconds.
#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock (the system's uptime clock on Windows).
uint64_t ClockTicks();

// Sleeps the calling thread; under the virtual clock, advances time instead.
void ClockSleep(uint32_t nMilliseconds);

// Switches every later ClockTicks/ClockSleep to a virtual clock starting at
// qwStart. Thread-safe; meant for tests.
void UseVirtualClock(uint64_t qwStart);

// Moves the virtual clock on without sleeping (no effect on the real clock).
void AdvanceVirtualClock(uint64_t qwMilliseconds);

// Back to the real clock.
void UseRealClock();

bool IsVirtualClock();
