#include "host/posix/idle_watch_plan.h"

namespace vandrel {

IdleWatchPlan planIdleWatch(uint64_t idleMs, uint32_t timeoutMs) {
    if (idleMs < kAlreadyIdleMs) {
        return {timeoutMs, false};
    }
    const uint64_t interval = idleMs + timeoutMs;
    return {interval < idleMs ? UINT64_MAX : interval, true};
}

}  // namespace vandrel
