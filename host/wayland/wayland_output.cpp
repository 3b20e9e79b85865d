#include "host/wayland/wayland_output.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "controller/saver_logic.h"
#include "render/dashboard.h"
#include "viewporter-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"
// Last: it renames a keyword while it is read.
#include "host/wayland/layer_shell.h"
#include "host/wayland/wayland_events.h"

namespace vandrel {
namespace {

// How long start() waits for the dashboard's first configure.
constexpr int kStartRoundtrips = 50;

constexpr Color kLabelColor{0, 255, 255};

Rect shifted(Rect r, Point by) {
    return {r.left - by.x, r.top - by.y, r.right - by.x, r.bottom - by.y};
}

}  // namespace

// The registry's and the shell's events, routed to the output's small handlers.
struct WaylandListeners {
    static const wl_registry_listener registry;
    static const xdg_wm_base_listener wmBase;
};

const wl_registry_listener WaylandListeners::registry = {
    .global =
        [](void* data, wl_registry* r, uint32_t name, const char* interface, uint32_t version) {
            static_cast<WaylandOutput*>(data)->onGlobal(r, name, interface, version);
        },
    .global_remove = [](void* data, wl_registry*,
                        uint32_t name) { static_cast<WaylandOutput*>(data)->onGlobalRemove(name); },
};

const xdg_wm_base_listener WaylandListeners::wmBase = {
    .ping = [](void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

WaylandOutput::WaylandOutput(wl_display* display, const LinuxOptions& options)
    : display_(display), options_(options), windowMode_(options.target == SaverTarget::Window) {
    globals_.display = display;
}

WaylandOutput::~WaylandOutput() {
    // The surfaces go before the outputs they cover.
    setDashboard(nullptr);
    window_.reset();
    screens_.clear();
    seats_.clear();
    if (xdgOutputs_ != nullptr) {
        zxdg_output_manager_v1_destroy(xdgOutputs_);
    }
    if (globals_.viewporter != nullptr) {
        wp_viewporter_destroy(globals_.viewporter);
    }
    if (globals_.subcompositor != nullptr) {
        wl_subcompositor_destroy(globals_.subcompositor);
    }
    if (globals_.layerShell != nullptr) {
        zwlr_layer_shell_v1_destroy(globals_.layerShell);
    }
    if (globals_.wmBase != nullptr) {
        xdg_wm_base_destroy(globals_.wmBase);
    }
    if (globals_.shm != nullptr) {
        wl_shm_destroy(globals_.shm);
    }
    if (globals_.compositor != nullptr) {
        wl_compositor_destroy(globals_.compositor);
    }
    if (registry_ != nullptr) {
        wl_registry_destroy(registry_);
    }
    wl_display_flush(display_);
}

void WaylandOutput::onGlobal(wl_registry* registry, uint32_t name, const char* interface,
                             uint32_t version) {
    auto bind = [&](const wl_interface* type, uint32_t highest) {
        return wl_registry_bind(registry, name, type, std::min(version, highest));
    };
    // The first of each singleton is kept: one announced again would leak the first, or
    // change the globals under the surfaces made with them.
    auto is = [&](const wl_interface& type, const void* bound) {
        return bound == nullptr && std::strcmp(interface, type.name) == 0;
    };
    if (is(wl_compositor_interface, globals_.compositor)) {
        globals_.compositorVersion = std::min(version, 4u);  // 4: damage in buffer pixels
        globals_.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (is(wl_shm_interface, globals_.shm)) {
        globals_.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (is(xdg_wm_base_interface, globals_.wmBase)) {
        globals_.wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(globals_.wmBase, &WaylandListeners::wmBase, this);
    } else if (is(zwlr_layer_shell_v1_interface, globals_.layerShell)) {
        globals_.layerShell =
            static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 4));
    } else if (is(wp_viewporter_interface, globals_.viewporter)) {
        globals_.viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
    } else if (is(wl_subcompositor_interface, globals_.subcompositor)) {
        globals_.subcompositor =
            static_cast<wl_subcompositor*>(bind(&wl_subcompositor_interface, 1));
    } else if (is(zxdg_output_manager_v1_interface, xdgOutputs_)) {
        xdgOutputs_ =
            static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 3));
        for (auto& screen : screens_) {
            screen->describe(xdgOutputs_);
        }
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        ScreenOwner& owner = *this;
        screens_.push_back(std::make_unique<WaylandScreen>(registry, name, version, owner));
        screens_.back()->describe(xdgOutputs_);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        SeatOwner& owner = *this;
        seats_.push_back(
            std::make_unique<WaylandSeat>(registry, name, version, owner, travel_, windowMode_));
    }
}

void WaylandOutput::onGlobalRemove(uint32_t name) {
    for (auto it = screens_.begin(); it != screens_.end(); ++it) {
        WaylandScreen& screen = **it;
        if (screen.global != name) {
            continue;
        }
        if (dashboard_ != nullptr && dashboard_ == screen.surface.get()) {
            setDashboard(nullptr);  // settle() gives it to the next output
        }
        if (windowOutput_ == screen.output) {
            windowOutput_ = nullptr;
        }
        if (window_ != nullptr) {
            window_->forget(screen.output);
        }
        screens_.erase(it);
        return;
    }
    for (auto it = seats_.begin(); it != seats_.end(); ++it) {
        if ((*it)->global() == name) {
            seats_.erase(it);
            return;
        }
    }
}

void WaylandOutput::onOutputDone(WaylandScreen& screen) {
    // The first done completes the output's description: then it is covered.
    if (!screen.ready) {
        screen.ready = true;
        if (!windowMode_ && globals_.compositor != nullptr && globals_.shm != nullptr) {
            if (globals_.layerShell != nullptr) {
                screen.surface =
                    std::make_unique<WaylandSurface>(globals_, SurfaceKind::Layer, screen.output);
            } else if (globals_.wmBase != nullptr) {
                screen.surface = std::make_unique<WaylandSurface>(globals_, SurfaceKind::Fullscreen,
                                                                  screen.output);
            }
        }
    }
    if (screen.surface != nullptr) {
        screen.surface->setOutputFacts(screen.shownSize(), screen.scale);
    }
    if (window_ != nullptr && windowOutput_ == screen.output) {
        window_->setOutputFacts({0, 0}, screen.scale);
    }
}

void WaylandOutput::requestEnd(int exitCode) {
    if (!end_) {
        end_ = true;
        exitCode_ = exitCode;
    }
}

Point WaylandOutput::layoutOrigin(const wl_surface* surface) const {
    for (const auto& screen : screens_) {
        if (surface != nullptr && screen->surface != nullptr &&
            screen->surface->surface() == surface) {
            return {screen->x, screen->y};
        }
    }
    return {0, 0};
}

bool WaylandOutput::start() {
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &WaylandListeners::registry, this);
    if (wl_display_roundtrip(display_) < 0) {
        std::fprintf(stderr, "vandrel: the Wayland connection failed\n");
        return false;
    }
    if (globals_.compositor == nullptr || globals_.shm == nullptr ||
        (globals_.layerShell == nullptr && globals_.wmBase == nullptr)) {
        std::fprintf(stderr, "vandrel: the compositor offers no shell or no shared memory\n");
        return false;
    }
    if (windowMode_) {
        window_ = std::make_unique<WaylandSurface>(globals_, SurfaceKind::Window, nullptr);
    }
    // The outputs describe themselves (and get their surfaces), then the surfaces their
    // sizes.
    for (int i = 0; i < kStartRoundtrips; ++i) {
        if (wl_display_roundtrip(display_) < 0) {
            std::fprintf(stderr, "vandrel: the Wayland connection failed\n");
            return false;
        }
        settle();
        bool pending = false;
        for (auto& screen : screens_) {
            pending = pending || !screen->ready ||
                      (screen->surface != nullptr && !screen->surface->configured());
        }
        pending = pending || (window_ != nullptr && !window_->configured());
        if (i > 0 && !pending) {
            break;
        }
    }
    // Outputs older than version 2 never say done: they are covered as they are.
    for (auto& screen : screens_) {
        if (screen->version < WL_OUTPUT_DONE_SINCE_VERSION && !screen->ready) {
            onOutputDone(*screen);
        }
    }
    if (wl_display_roundtrip(display_) < 0) {
        std::fprintf(stderr, "vandrel: the Wayland connection failed\n");
        return false;
    }
    settle();
    resized_ = false;  // the core starts at the size it finds
    flush();
    return true;
}

int WaylandOutput::connectionFd() const {
    return wl_display_get_fd(display_);
}

void WaylandOutput::settle() {
    for (auto& screen : screens_) {
        WaylandSurface* surface = screen->surface.get();
        if (surface == nullptr || !surface->closed()) {
            continue;
        }
        if (surface->kind() == SurfaceKind::Fullscreen) {
            requestEnd(0);  // the user closed one of the saver's windows
        }
        if (dashboard_ == surface) {
            setDashboard(nullptr);
        }
        screen->surface.reset();  // the compositor dropped it (its output is going)
    }
    if (window_ != nullptr) {
        if (window_->closed()) {
            requestEnd(0);
        }
        if (window_->entered() != windowOutput_) {
            windowOutput_ = window_->entered();
            for (auto& screen : screens_) {
                if (screen->output == windowOutput_) {
                    window_->setOutputFacts({0, 0}, screen->scale);
                }
            }
        }
    }
    chooseDashboard();
    if (window_ != nullptr && window_->takeResized()) {
        resized_ = true;
    }
    for (auto& screen : screens_) {
        if (screen->surface != nullptr && screen->surface->takeResized() &&
            screen->surface.get() == dashboard_) {
            resized_ = true;
        }
    }
    // A new size or scale moves the parts: they are planned again from the placement the
    // core gives for it, and drawn anew.
    if (partsPlanned_ && dashboard_->plan() != partsFor_) {
        dropParts();
        resized_ = true;
    }
}

void WaylandOutput::chooseDashboard() {
    if (windowMode_) {
        setDashboard(window_.get());
        return;
    }
    std::vector<OutputPlace> places;
    std::vector<WaylandScreen*> candidates;
    int current = -1;
    for (auto& screen : screens_) {
        if (screen->surface == nullptr || !screen->surface->configured()) {
            continue;
        }
        if (screen->surface.get() == dashboard_) {
            current = static_cast<int>(candidates.size());
        }
        places.push_back({screen->name, screen->x, screen->y});
        candidates.push_back(screen.get());
    }
    const int choice =
        chooseDashboardOutput(places.data(), static_cast<int>(places.size()), options_.outputName);
    // The dashboard stays where it is while its output lives, unless the output asked for
    // by name turns up.
    const bool wanted = choice >= 0 && options_.outputName[0] != '\0' &&
                        std::strcmp(candidates[choice]->name, options_.outputName) == 0;
    if (choice < 0 || choice == current || (current >= 0 && !wanted)) {
        return;
    }
    if (dashboard_ != nullptr) {
        dashboard_->setBlack(true);
    }
    // It stays black until the first drawing says where its pixels go.
    setDashboard(candidates[choice]->surface.get());
    resized_ = true;
}

void WaylandOutput::setDashboard(WaylandSurface* surface) {
    if (surface != dashboard_) {
        dropParts();
        dashboard_ = surface;
    }
}

void WaylandOutput::dropParts() {
    for (auto& part : parts_) {
        part.reset();
    }
    partCount_ = 0;
    partsPlanned_ = false;
}

void WaylandOutput::place(const Placement& placement) {
    const bool moved = !placed_ || placement != placement_;
    placed_ = true;
    placement_ = placement;
    if (moved) {
        dropParts();
    }
    planParts();
}

void WaylandOutput::planParts() {
    if (!placed_ || dashboard_ == nullptr || !dashboard_->configured() ||
        (partsPlanned_ && dashboard_->plan() == partsFor_)) {
        return;
    }
    dropParts();
    partsPlanned_ = true;
    partsFor_ = dashboard_->plan();
    // A 1 x 1 background needs the viewporter; a window is small enough as it is.
    DashboardParts plan;
    if (!windowMode_ && globals_.viewporter != nullptr && globals_.subcompositor != nullptr) {
        const Placement& p = placement_;
        const int32_t top = bannerTop(p);
        plan = planDashboardParts(partsFor_, canvasToClient({0, 0, kCanvasWidth, kCanvasHeight}, p),
                                  {0, top, width(), top + Dashboard::kBannerHeight * p.scale});
    }
    for (int i = 0; i < plan.count; ++i) {
        partAreas_[i] = plan.parts[i].area;
        parts_[i] =
            std::make_unique<WaylandSurface>(globals_, dashboard_->surface(), plan.parts[i]);
    }
    partCount_ = plan.count;
    dashboard_->setBlack(partCount_ > 0);
    dashboard_->commitParts();
}

void WaylandOutput::dispatch(OutputEvents& events) {
    if (!lost_ && !readWaylandEvents(display_)) {
        lost_ = true;
    }
    settle();
    if (lost_) {
        requestEnd(1);
    }
    // Answers to what came in (acknowledged sizes, new outputs' surfaces, frames now due)
    // go out at once, not at the next tick.
    flush();
    events.end = end_;
    events.exitCode = exitCode_;
    events.resized = resized_;
    resized_ = false;
}

void WaylandOutput::flush() {
    if (lost_) {
        return;
    }
    for (int i = 0; i < partCount_; ++i) {
        parts_[i]->flush();
    }
    for (auto& screen : screens_) {
        if (screen->surface != nullptr) {
            screen->surface->flush();
        }
    }
    if (window_ != nullptr) {
        window_->flush();
    }
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
        lost_ = true;  // reported by the next dispatch
    }
}

// Drawing-area pixels go to every part that holds them, so that where parts overlap they
// agree and the stacking does not matter.
void WaylandOutput::copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                               Rect clip) {
    planParts();
    if (dashboard_ != nullptr && partCount_ == 0) {
        dashboard_->copyCanvas(canvas, part, origin, scale, clip);
    }
    for (int i = 0; i < partCount_; ++i) {
        const Point at{partAreas_[i].left, partAreas_[i].top};
        parts_[i]->copyCanvas(canvas, part, {origin.x - at.x, origin.y - at.y}, scale,
                              shifted(intersectRect(clip, partAreas_[i]), at));
    }
}

void WaylandOutput::fillBlack(Rect area) {
    planParts();
    if (dashboard_ != nullptr && partCount_ == 0) {
        dashboard_->fill(area, 0);
    }
    for (int i = 0; i < partCount_; ++i) {
        const Point at{partAreas_[i].left, partAreas_[i].top};
        parts_[i]->fill(shifted(intersectRect(area, partAreas_[i]), at), 0);
    }
}

void WaylandOutput::drawLabel(int32_t left, int32_t top) {
    if (dashboard_ == nullptr) {
        return;
    }
    // Made once: the two texts in the project's own text back end, cyan on black, at the
    // cell tops the Windows saver uses relative to (left + 32, top + 37).
    if (label_ == nullptr) {
        labelFont_ = std::make_unique<Font>(16, 700);
        Canvas probe(1, 1);
        probe.selectFont(*labelFont_);
        const Extent first = probe.textExtent("Vandrel");
        const Extent second = probe.textExtent("ScreenSaver");
        label_ = std::make_unique<Canvas>(std::max(first.width + 2, second.width),
                                          20 + std::max(second.height, 1));
        label_->selectFont(*labelFont_);
        label_->setTextColor(kLabelColor);
        label_->setBackgroundColor(colorBlack);
        label_->drawText(2, 0, "Vandrel");
        label_->drawText(0, 20, "ScreenSaver");
    }
    copyCanvas(*label_, {0, 0, label_->width(), label_->height()}, {left + 32, top + 37}, 1,
               {0, 0, width(), height()});
}

}  // namespace vandrel
