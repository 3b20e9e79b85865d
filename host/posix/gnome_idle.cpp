#include "host/posix/gnome_idle.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/posix/idle_watch_plan.h"

namespace vandrel {
namespace {

constexpr const char* kMonitor = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";
// A compositor that does not answer within this is as good as gone; the bus's own default
// (25 s) would freeze the watcher.
constexpr uint64_t kCallTimeoutUs = 2'000'000;
constexpr const char* kSession = "org.gnome.SessionManager";
constexpr const char* kSessionPath = "/org/gnome/SessionManager";
// org.gnome.SessionManager's inhibit flag for idleness.
constexpr uint32_t kInhibitIdle = 8;
// A unique connection name (":1.42") fits well within this.
constexpr size_t kNameSize = 256;

// One call without starting a service by activation: a name nobody owns is an answer.
// types and args as sd_bus_message_append takes them; none without types.
template <typename... Args>
int call(sd_bus* bus, const char* destination, const char* path, const char* interface,
         const char* member, sd_bus_message** reply, const char* types = nullptr, Args... args) {
    sd_bus_message* message = nullptr;
    int r = sd_bus_message_new_method_call(bus, &message, destination, path, interface, member);
    if (r >= 0) {
        r = sd_bus_message_set_auto_start(message, 0);
    }
    if (r >= 0 && types != nullptr) {
        r = sd_bus_message_append(message, types, args...);
    }
    if (r >= 0) {
        r = sd_bus_call(bus, message, kCallTimeoutUs, nullptr, reply);
    }
    sd_bus_message_unref(message);
    return r;
}

template <typename... Args>
int callMonitor(sd_bus* bus, const char* member, sd_bus_message** reply,
                const char* types = nullptr, Args... args) {
    return call(bus, kMonitor, kMonitorPath, kMonitor, member, reply, types, args...);
}

// The IdleMonitor's watches count from the last input and fire once each time the idle
// time crosses their interval; the watcher's wait counts from arm(), which planIdleWatch
// bridges. The monitor holds its watches while an idle inhibitor is taken, and its idle
// time starts over when the inhibitor goes, without a user-active watch firing: the wait
// starts over then too.
class GnomeIdle final : public IdleSource {
  public:
    explicit GnomeIdle(sd_bus* bus) : bus_(bus) {}
    ~GnomeIdle() override {
        removeWatches();
        for (sd_bus_slot* slot : slots_) {
            sd_bus_slot_unref(slot);
        }
        sd_bus_flush_close_unref(bus_);
    }
    GnomeIdle(const GnomeIdle&) = delete;
    GnomeIdle& operator=(const GnomeIdle&) = delete;

    // Signals count only from the connections that own the monitor's and the session
    // manager's names now: any other peer on the bus could otherwise show the saver or
    // hold it off. Each owner is looked up after its NameOwnerChanged is matched, so that
    // no change goes unseen. False, with the reason in why, when there is no monitor or
    // the bus will not take the matches.
    bool watchBus(char* why, size_t whySize) {
        char monitor[kNameSize] = "", session[kNameSize] = "";
        const bool matched = matchOwner(kMonitor, slots_[2], onMonitorOwnerChanged) &&
                             matchOwner(kSession, slots_[3], onSessionOwnerChanged);
        if (matched && !ownerOf(kMonitor, monitor, sizeof monitor)) {
            std::snprintf(why, whySize, "the session bus has no %s", kMonitor);
            return false;
        }
        ownerOf(kSession, session, sizeof session);
        if (!matched ||
            sd_bus_match_signal(bus_, &slots_[0], monitor, kMonitorPath, kMonitor, "WatchFired",
                                onWatchFired, this) < 0 ||
            !followSession(session)) {
            std::snprintf(why, whySize, "the session bus refused to pass on %s's signals",
                          kMonitor);
            return false;
        }
        return true;
    }

    const char* name() const override { return kMonitor; }
    int connectionFd() const override { return sd_bus_get_fd(bus_); }

    bool arm(uint32_t timeoutMs) override {
        timeoutMs_ = timeoutMs;
        placeWatches(false);
        dispatch();
        startOverIfAsked();  // input while the watches were placed
        return !lost_;
    }

    IdleState check() override {
        dispatch();
        startOverIfAsked();
        return lost_ ? IdleState::Lost : idleFired_ ? IdleState::Idle : IdleState::Waiting;
    }

    bool inhibited() override {
        sd_bus_message* reply = nullptr;
        int yes = 0;
        // No session manager on the bus (a bare compositor): nothing can inhibit.
        const bool asked = call(bus_, kSession, kSessionPath, kSession, "IsInhibited", &reply, "u",
                                kInhibitIdle) >= 0 &&
                           sd_bus_message_read(reply, "b", &yes) >= 0;
        sd_bus_message_unref(reply);
        if (asked && yes != 0) {
            return true;
        }
        closeOverview();
        return false;
    }

  private:
    bool matchOwner(const char* name, sd_bus_slot*& slot, sd_bus_message_handler_t handler) {
        char rule[160];
        std::snprintf(rule, sizeof rule,
                      "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop."
                      "DBus',member='NameOwnerChanged',arg0='%s'",
                      name);
        return sd_bus_add_match(bus_, &slot, rule, handler, this) >= 0;
    }

    // The unique name that owns name now into owner; false when nobody does.
    bool ownerOf(const char* name, char* owner, size_t size) {
        sd_bus_message* reply = nullptr;
        const char* unique = nullptr;
        const bool owned = call(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "GetNameOwner", &reply, "s", name) >= 0 &&
                           sd_bus_message_read(reply, "s", &unique) >= 0;
        std::snprintf(owner, size, "%s", owned ? unique : "");
        sd_bus_message_unref(reply);
        return owned;
    }

    // InhibitorRemoved from the session manager that owns its name now; none without one.
    // Asynchronous, as it may run in the dispatch of NameOwnerChanged.
    bool followSession(const char* owner) {
        slots_[1] = sd_bus_slot_unref(slots_[1]);
        return owner[0] == '\0' || sd_bus_match_signal_async(
                                       bus_, &slots_[1], owner, kSessionPath, kSession,
                                       "InhibitorRemoved", onInhibitorRemoved, nullptr, this) >= 0;
    }

    // The saver shows next. GNOME Shell's overview (open after login) would show its window
    // as a thumbnail only, so it closes first; without the shell, nothing to do.
    void closeOverview() {
        call(bus_, "org.gnome.Shell", "/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Set",
             nullptr, "ssv", "org.gnome.Shell", "OverviewActive", "b", 0);
    }

    // New watches for the wait; fromInput: the idle time has just started over, whatever
    // the monitor would still answer.
    void placeWatches(bool fromInput) {
        removeWatches();
        idleFired_ = startOver_ = false;
        sd_bus_message* reply = nullptr;
        uint64_t idleMs = 0;
        if (!fromInput && (callMonitor(bus_, "GetIdletime", &reply) < 0 ||
                           sd_bus_message_read(reply, "t", &idleMs) < 0)) {
            lost_ = true;
        }
        reply = sd_bus_message_unref(reply);
        const IdleWatchPlan plan = planIdleWatch(idleMs, timeoutMs_);
        lost_ = lost_ || !addWatch("AddIdleWatch", plan.intervalMs, idleId_) ||
                (plan.untilActive && !addWatch("AddUserActiveWatch", 0, activeId_));
    }

    bool addWatch(const char* member, uint64_t intervalMs, uint32_t& id) {
        sd_bus_message* reply = nullptr;
        const bool ok =
            callMonitor(bus_, member, &reply, intervalMs != 0 ? "t" : nullptr, intervalMs) >= 0 &&
            sd_bus_message_read(reply, "u", &id) >= 0;
        sd_bus_message_unref(reply);
        return ok;
    }

    void removeWatches() {
        for (uint32_t* id : {&idleId_, &activeId_}) {
            if (*id != 0 && !lost_) {
                callMonitor(bus_, "RemoveWatch", nullptr, "u", *id);
            }
            *id = 0;
        }
    }

    void startOverIfAsked() {
        if (startOver_ && !idleFired_ && !lost_) {
            placeWatches(true);
            dispatch();
        }
    }

    // Everything the bus has, without blocking; a failed connection is a lost session.
    void dispatch() {
        int r = 0;
        while (!lost_ && (r = sd_bus_process(bus_, nullptr)) > 0) {
        }
        lost_ = lost_ || r < 0 || sd_bus_is_open(bus_) <= 0;
    }

    static int onWatchFired(sd_bus_message* message, void* self, sd_bus_error*) {
        GnomeIdle& source = *static_cast<GnomeIdle*>(self);
        uint32_t id = 0;
        if (sd_bus_message_read(message, "u", &id) >= 0 && id != 0) {
            source.idleFired_ = source.idleFired_ || id == source.idleId_;
            source.startOver_ = source.startOver_ || id == source.activeId_;
        }
        return 0;
    }

    static int onInhibitorRemoved(sd_bus_message*, void* self, sd_bus_error*) {
        static_cast<GnomeIdle*>(self)->startOver_ = true;
        return 0;
    }

    static int onMonitorOwnerChanged(sd_bus_message* message, void* self, sd_bus_error*) {
        const char *name = nullptr, *before = nullptr, *after = nullptr;
        if (sd_bus_message_read(message, "sss", &name, &before, &after) >= 0 &&
            std::strcmp(name, kMonitor) == 0) {
            // A new owner knows nothing of the watches: the compositor that had them is gone.
            static_cast<GnomeIdle*>(self)->lost_ = true;
        }
        return 0;
    }

    // A session manager that goes takes its inhibitors along, as an InhibitorRemoved
    // would say; one that comes is followed.
    static int onSessionOwnerChanged(sd_bus_message* message, void* self, sd_bus_error*) {
        GnomeIdle& source = *static_cast<GnomeIdle*>(self);
        const char *name = nullptr, *before = nullptr, *after = nullptr;
        if (sd_bus_message_read(message, "sss", &name, &before, &after) >= 0 &&
            std::strcmp(name, kSession) == 0) {
            source.startOver_ = source.startOver_ || before[0] != '\0';
            source.lost_ = source.lost_ || !source.followSession(after);
        }
        return 0;
    }

    sd_bus* bus_;
    sd_bus_slot* slots_[4] = {};
    uint32_t timeoutMs_ = 0;
    uint32_t idleId_ = 0, activeId_ = 0;
    bool idleFired_ = false;
    bool startOver_ = false;  // input, or an inhibitor gone: the wait counts from now
    bool lost_ = false;
};

}  // namespace

std::unique_ptr<IdleSource> openGnomeIdle(char* why, size_t whySize) {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) {
        std::snprintf(why, whySize, "no session bus (DBUS_SESSION_BUS_ADDRESS) to ask GNOME's %s",
                      kMonitor);
        return nullptr;
    }
    auto source = std::make_unique<GnomeIdle>(bus);
    if (!source->watchBus(why, whySize)) {
        return nullptr;
    }
    return source;
}

}  // namespace vandrel
