#include "host/wayland/wayland_surface.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"
// Last: it renames a keyword while it is read.
#include "host/wayland/layer_shell.h"

namespace vandrel {
namespace {

// The padding byte of XRGB8888 set all the same: some compositors' screenshots (weston's
// with its pixman renderer) take it for alpha, and a zero there turns the saver invisible.
constexpr uint32_t kOpaque = 0xFF000000u;

// A window's size until its compositor names one.
constexpr int32_t kWindowWidth = 800, kWindowHeight = 600;

WaylandSurface* self(void* data) {
    return static_cast<WaylandSurface*>(data);
}

// Later protocol versions' events are left out: they are bound at versions that lack them.
const wl_surface_listener surfaceListener = {
    .enter = [](void* data, wl_surface*, wl_output* output) { self(data)->onEnter(output); },
    .leave = [](void*, wl_surface*, wl_output*) {},
};

const zwlr_layer_surface_v1_listener layerListener = {
    .configure =
        [](void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
           uint32_t height) {
            zwlr_layer_surface_v1_ack_configure(layer, serial);
            self(data)->onConfigure(
                static_cast<int32_t>(std::min<uint32_t>(width, kMaxSurfaceSide)),
                static_cast<int32_t>(std::min<uint32_t>(height, kMaxSurfaceSide)));
        },
    .closed = [](void* data, zwlr_layer_surface_v1*) { self(data)->onClosed(); },
};

const xdg_surface_listener xdgSurfaceListener = {
    .configure =
        [](void* data, xdg_surface* surface, uint32_t serial) {
            xdg_surface_ack_configure(surface, serial);
            WaylandSurface* s = self(data);
            s->onConfigure(s->pendingWidth(), s->pendingHeight());
        },
};

const xdg_toplevel_listener toplevelListener = {
    .configure =
        [](void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
            self(data)->setPendingSize(std::clamp(width, 0, kMaxSurfaceSide),
                                       std::clamp(height, 0, kMaxSurfaceSide));
        },
    .close = [](void* data, xdg_toplevel*) { self(data)->onClosed(); },
};

const wl_callback_listener frameListener = {
    .done = [](void* data, wl_callback*, uint32_t) { self(data)->onFrameDone(); },
};

const wl_buffer_listener bufferListener = {
    .release =
        [](void* data, wl_buffer*) {
            const auto* ref = static_cast<WaylandSurface::SlotRef*>(data);
            ref->owner->onReleased(ref->slot);
        },
};

}  // namespace

WaylandSurface::WaylandSurface(const WaylandGlobals& globals, SurfaceKind kind, wl_output* output)
    : globals_(globals), kind_(kind) {
    for (int i = 0; i < BufferChain::kMaxSlots; ++i) {
        refs_[i] = {this, i};
    }
    surface_ = wl_compositor_create_surface(globals.compositor);
    wl_surface_add_listener(surface_, &surfaceListener, this);
    if (kind == SurfaceKind::Layer) {
        layer_ = zwlr_layer_shell_v1_get_layer_surface(
            globals.layerShell, surface_, output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "vandrel");
        zwlr_layer_surface_v1_add_listener(layer_, &layerListener, this);
        zwlr_layer_surface_v1_set_anchor(
            layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                        ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(layer_, 0, 0);
        // Over panels and their reserved edges too, and every key ours.
        zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(
            layer_, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    } else {
        xdgSurface_ = xdg_wm_base_get_xdg_surface(globals.wmBase, surface_);
        xdg_surface_add_listener(xdgSurface_, &xdgSurfaceListener, this);
        toplevel_ = xdg_surface_get_toplevel(xdgSurface_);
        xdg_toplevel_add_listener(toplevel_, &toplevelListener, this);
        xdg_toplevel_set_title(toplevel_, "Vandrel");
        xdg_toplevel_set_app_id(toplevel_, "vandrel");
        if (kind == SurfaceKind::Fullscreen) {
            xdg_toplevel_set_fullscreen(toplevel_, output);
        }
    }
    wl_surface_commit(surface_);  // without a buffer: asks for the first configure
}

WaylandSurface::~WaylandSurface() {
    if (viewport_ != nullptr) {
        wp_viewport_destroy(viewport_);
    }
    if (layer_ != nullptr) {
        zwlr_layer_surface_v1_destroy(layer_);
    }
    if (toplevel_ != nullptr) {
        xdg_toplevel_destroy(toplevel_);
    }
    if (xdgSurface_ != nullptr) {
        xdg_surface_destroy(xdgSurface_);
    }
    if (frame_ != nullptr) {
        wl_callback_destroy(frame_);
    }
    wl_surface_destroy(surface_);
    for (ShmBuffer& b : buffers_) {
        b.destroy();
    }
}

void WaylandSurface::setOutputFacts(PixelSize pixels, int32_t scale) {
    if (pixels == pixels_ && scale == scale_) {
        return;
    }
    pixels_ = pixels;
    scale_ = scale;
    if (configured_) {
        applyPlan();
    }
}

void WaylandSurface::onConfigure(int32_t logicalWidth, int32_t logicalHeight) {
    if (kind_ == SurfaceKind::Window) {
        // 0 leaves the size to us: the one we have, or the first window's.
        if (logicalWidth <= 0 || logicalHeight <= 0) {
            logicalWidth = logicalWidth_ > 0 ? logicalWidth_ : kWindowWidth;
            logicalHeight = logicalHeight_ > 0 ? logicalHeight_ : kWindowHeight;
        }
    }
    configured_ = true;
    logicalWidth_ = logicalWidth;
    logicalHeight_ = logicalHeight;
    applyPlan();
}

void WaylandSurface::applyPlan() {
    // A window's pixels are not an output's: it takes its output's integer scale.
    const PixelSize pixels = kind_ == SurfaceKind::Window ? PixelSize{0, 0} : pixels_;
    const BufferPlan plan =
        planBuffer(logicalWidth_, logicalHeight_, pixels, scale_, globals_.viewporter != nullptr);
    if (havePlan_ && plan == plan_) {
        return;
    }
    const bool newSize = !havePlan_ || plan.width != plan_.width || plan.height != plan_.height;
    if (newSize) {
        for (ShmBuffer& b : buffers_) {
            b.destroy();
        }
        chain_.reset(plan.width, plan.height);
        resized_ = havePlan_;  // the first size is no change
    }
    if (globals_.compositorVersion >= 3) {
        wl_surface_set_buffer_scale(surface_, plan.bufferScale);
    }
    if (plan.viewport) {
        if (viewport_ == nullptr) {
            viewport_ = wp_viewporter_get_viewport(globals_.viewporter, surface_);
        }
        wp_viewport_set_destination(viewport_, plan.logicalWidth, plan.logicalHeight);
    } else if (viewport_ != nullptr) {
        wp_viewport_set_destination(viewport_, -1, -1);
    }
    plan_ = plan;
    havePlan_ = true;
    // The new scale or size takes effect with a whole frame: black where nothing was drawn.
    if (drawTarget() != nullptr) {
        chain_.drew({0, 0, plan.width, plan.height});
    }
}

bool WaylandSurface::takeResized() {
    const bool was = resized_;
    resized_ = false;
    return was;
}

ShmBuffer* WaylandSurface::drawTarget() {
    if (!havePlan_) {
        return nullptr;
    }
    const BufferChain::DrawTarget target = chain_.beginDraw();
    ShmBuffer& buffer = buffers_[target.slot];
    if (buffer.buffer() == nullptr && !buffer.create(globals_.shm, plan_.width, plan_.height,
                                                     &bufferListener, &refs_[target.slot])) {
        return nullptr;
    }
    if (target.source >= 0) {
        const ShmBuffer& from = buffers_[target.source];
        for (int i = 0; i < target.catchUp.count(); ++i) {
            const Rect& r = target.catchUp[i];
            for (int32_t y = r.top; y < r.bottom; ++y) {
                const size_t at = static_cast<size_t>(y) * plan_.width + r.left;
                std::memcpy(buffer.pixels() + at, from.pixels() + at,
                            static_cast<size_t>(r.right - r.left) * 4);
            }
        }
    }
    return &buffer;
}

void WaylandSurface::copyCanvas(const Canvas& canvas, Rect part, CursorPoint origin, int32_t scale,
                                Rect clip) {
    part = intersectRect(part, {0, 0, canvas.width(), canvas.height()});
    if (isEmpty(part) || scale < 1 || !havePlan_) {
        return;
    }
    const Rect placed{origin.x + part.left * scale, origin.y + part.top * scale,
                      origin.x + part.right * scale, origin.y + part.bottom * scale};
    const Rect target =
        intersectRect(intersectRect(placed, clip), {0, 0, plan_.width, plan_.height});
    ShmBuffer* buffer = isEmpty(target) ? nullptr : drawTarget();
    if (buffer == nullptr) {
        return;
    }
    const uint32_t* pixels = canvas.pixels();
    const int32_t w = target.right - target.left;
    for (int32_t y = target.top; y < target.bottom; ++y) {
        const uint32_t* row = pixels + static_cast<size_t>((y - origin.y) / scale) * canvas.width();
        uint32_t* out = buffer->pixels() + static_cast<size_t>(y) * plan_.width + target.left;
        if (scale == 1) {
            const uint32_t* in = row + (target.left - origin.x);
            for (int32_t x = 0; x < w; ++x) {
                out[x] = in[x] | kOpaque;
            }
        } else if (y > target.top && (y - origin.y) % scale != 0) {
            std::memcpy(out, out - plan_.width, static_cast<size_t>(w) * 4);  // same canvas row
        } else {
            for (int32_t x = 0; x < w; ++x) {
                out[x] = row[(target.left + x - origin.x) / scale] | kOpaque;
            }
        }
    }
    chain_.drew(target);
}

void WaylandSurface::fill(Rect area, uint32_t pixel) {
    area = intersectRect(area, {0, 0, width(), height()});
    ShmBuffer* buffer = isEmpty(area) ? nullptr : drawTarget();
    if (buffer == nullptr) {
        return;
    }
    for (int32_t y = area.top; y < area.bottom; ++y) {
        uint32_t* out = buffer->pixels() + static_cast<size_t>(y) * plan_.width;
        std::fill(out + area.left, out + area.right, pixel | kOpaque);
    }
    chain_.drew(area);
}

void WaylandSurface::onFrameDone() {
    wl_callback_destroy(frame_);
    frame_ = nullptr;
}

void WaylandSurface::flush() {
    if (!havePlan_ || closed_ || frame_ != nullptr || !chain_.hasFrame()) {
        return;
    }
    DrawnArea damage;
    const int slot = chain_.commit(damage);
    wl_surface_attach(surface_, buffers_[slot].buffer(), 0, 0);
    for (int i = 0; i < damage.count(); ++i) {
        const Rect& r = damage[i];
        if (globals_.compositorVersion >= 4) {
            wl_surface_damage_buffer(surface_, r.left, r.top, r.right - r.left, r.bottom - r.top);
        } else {
            wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
        }
    }
    frame_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frame_, &frameListener, this);
    wl_surface_commit(surface_);
}

}  // namespace vandrel
