#pragma once

// A saver whose loop stops coming back must not hold the screen. Once the loop has not
// fed the watchdog for kStallSeconds, the process sets saverAttached in the record it
// watches to 0 and ends with kStalledExitCode; the display server then takes its windows
// away. It fires on the thread that started it, however that thread is stuck (a loop, a
// wait in a system call), and only while a show runs: the idle watcher's waits between
// shows are no stall.
namespace vandrel {

inline constexpr int kStallSeconds = 10;
inline constexpr int kStalledExitCode = 70;

// Arms the watchdog for the calling thread, which feeds it from then on.
void startWatchdog();
// The loop came back: another kStallSeconds from now.
void feedWatchdog();
// Disarmed, and no record watched, until the next start.
void stopWatchdog();
// The attached record whose saverAttached goes to 0 when the watchdog fires; null while
// none is. Must be taken away before the record's mapping goes.
void watchRecord(void* view);

}  // namespace vandrel
