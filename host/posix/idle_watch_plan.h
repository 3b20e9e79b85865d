#pragma once
#include <cstdint>

// How a wait for idleness maps onto an idle watch that counts from the last input
// (GNOME's IdleMonitor): the portable decision, tested natively.
namespace vandrel {

// Idle times below this count as a user at work: a wait from the last input ends at most
// this much earlier than one from now.
inline constexpr uint64_t kAlreadyIdleMs = 1000;

struct IdleWatchPlan {
    uint64_t intervalMs;  // AddIdleWatch's interval, counted from the last input
    bool untilActive;     // also watch for input, then plan again (interval timeoutMs)
    friend constexpr bool operator==(const IdleWatchPlan&, const IdleWatchPlan&) = default;
};

// A wait of timeoutMs from now, while the session has been idle for idleMs. A session
// already idle (idleMs >= kAlreadyIdleMs: the saver was held off, or --idle starts in a
// quiet session) waits its idle time longer, or the watch would fire at once; the next
// input then starts the plain timeout. Saturates instead of wrapping.
IdleWatchPlan planIdleWatch(uint64_t idleMs, uint32_t timeoutMs);

}  // namespace vandrel
