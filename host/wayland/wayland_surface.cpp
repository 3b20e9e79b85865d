#include "host/wayland/wayland_surface.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "render/scaled_copy.h"
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

// The box around the pixels a drawing changed: only those become damage, so a redraw of
// what is already shown commits nothing and the compositor composites nothing.
class ChangedBox {
  public:
    void put(uint32_t* row, int32_t x, int32_t y, uint32_t pixel) {
        if (row[x] != pixel) {
            row[x] = pixel;
            box_ = isEmpty(box_) ? Rect{x, y, x + 1, y + 1}
                                 : Rect{std::min(box_.left, x), std::min(box_.top, y),
                                        std::max(box_.right, x + 1), std::max(box_.bottom, y + 1)};
        }
    }
    Rect box() const { return box_; }

  private:
    Rect box_{0, 0, 0, 0};
};

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
    : globals_(globals), kind_(kind), black_(kind != SurfaceKind::Window) {
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

WaylandSurface::WaylandSurface(const WaylandGlobals& globals, wl_surface* parent,
                               const PartPlan& plan)
    : globals_(globals), kind_(SurfaceKind::Part), black_(false) {
    for (int i = 0; i < BufferChain::kMaxSlots; ++i) {
        refs_[i] = {this, i};
    }
    surface_ = wl_compositor_create_surface(globals.compositor);
    subsurface_ = wl_subcompositor_get_subsurface(globals.subcompositor, surface_, parent);
    // Its frames go out on its own frame callbacks, not with the parent's.
    wl_subsurface_set_desync(subsurface_);
    wl_subsurface_set_position(subsurface_, plan.x, plan.y);
    // The pointer's travel is measured on the output's surface beneath.
    wl_region* none = wl_compositor_create_region(globals.compositor);
    wl_surface_set_input_region(surface_, none);
    wl_region_destroy(none);
    configured_ = havePlan_ = true;
    plan_ = shown_ = plan.buffer;
    chain_.reset(shown_.width, shown_.height);
    showPlan();
}

WaylandSurface::~WaylandSurface() {
    if (subsurface_ != nullptr) {
        wl_subsurface_destroy(subsurface_);
    }
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

void WaylandSurface::setBlack(bool black) {
    if (black == black_) {
        return;
    }
    black_ = black;
    if (configured_) {
        applyPlan(true);
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

void WaylandSurface::applyPlan(bool fresh) {
    // A window's pixels are not an output's: it takes its output's integer scale.
    const PixelSize pixels = kind_ == SurfaceKind::Window ? PixelSize{0, 0} : pixels_;
    const bool viewporter = globals_.viewporter != nullptr;
    const BufferPlan plan = planBuffer(logicalWidth_, logicalHeight_, pixels, scale_, viewporter);
    const BufferPlan shown = black_ ? blackBuffer(plan, viewporter) : plan;
    if (havePlan_ && plan == plan_ && shown == shown_ && !fresh) {
        return;
    }
    if (!havePlan_ || plan.width != plan_.width || plan.height != plan_.height) {
        resized_ = havePlan_;  // the first size is no change
    }
    if (fresh || !havePlan_ || shown.width != shown_.width || shown.height != shown_.height) {
        for (ShmBuffer& b : buffers_) {
            b.destroy();
        }
        chain_.reset(shown.width, shown.height);
    }
    plan_ = plan;
    shown_ = shown;
    havePlan_ = true;
    showPlan();
    // The new scale or size takes effect with a whole frame: black where nothing was drawn.
    if (drawTarget() != nullptr) {
        chain_.drew({0, 0, shown.width, shown.height});
    }
}

void WaylandSurface::showPlan() {
    const BufferPlan& shown = shown_;
    if (globals_.compositorVersion >= 3) {
        wl_surface_set_buffer_scale(surface_, shown.bufferScale);
    }
    if (shown.viewport) {
        if (viewport_ == nullptr) {
            viewport_ = wp_viewporter_get_viewport(globals_.viewporter, surface_);
        }
        wp_viewport_set_destination(viewport_, shown.logicalWidth, shown.logicalHeight);
        const Rect& s = shown.source;
        const bool part = !isEmpty(s);
        wp_viewport_set_source(viewport_, wl_fixed_from_int(part ? s.left : -1),
                               wl_fixed_from_int(part ? s.top : -1),
                               wl_fixed_from_int(part ? s.right - s.left : -1),
                               wl_fixed_from_int(part ? s.bottom - s.top : -1));
    } else if (viewport_ != nullptr) {
        wp_viewport_set_source(viewport_, wl_fixed_from_int(-1), wl_fixed_from_int(-1),
                               wl_fixed_from_int(-1), wl_fixed_from_int(-1));
        wp_viewport_set_destination(viewport_, -1, -1);
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
    if (buffer.buffer() == nullptr && !buffer.create(globals_.shm, shown_.width, shown_.height,
                                                     &bufferListener, &refs_[target.slot])) {
        return nullptr;
    }
    if (target.source >= 0) {
        const ShmBuffer& from = buffers_[target.source];
        for (int i = 0; i < target.catchUp.count(); ++i) {
            const Rect& r = target.catchUp[i];
            for (int32_t y = r.top; y < r.bottom; ++y) {
                const size_t at = static_cast<size_t>(y) * shown_.width + r.left;
                std::memcpy(buffer.pixels() + at, from.pixels() + at,
                            static_cast<size_t>(r.right - r.left) * 4);
            }
        }
    }
    return &buffer;
}

void WaylandSurface::copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                                Rect clip) {
    part = intersectRect(part, {0, 0, canvas.width(), canvas.height()});
    if (isEmpty(part) || scale < 1 || !havePlan_ || black_) {
        return;
    }
    // A buffer is taken (and perhaps made) only when some pixel lands on the surface.
    const Rect placed{origin.x + part.left * scale, origin.y + part.top * scale,
                      origin.x + part.right * scale, origin.y + part.bottom * scale};
    clip = intersectRect(clip, {0, 0, shown_.width, shown_.height});
    ShmBuffer* buffer = isEmpty(intersectRect(placed, clip)) ? nullptr : drawTarget();
    if (buffer == nullptr) {
        return;
    }
    const PixelBuffer out{buffer->pixels(), shown_.width, shown_.height,
                          static_cast<size_t>(shown_.width)};
    chain_.drew(copyScaled(canvas, part, origin, scale, clip, out, kOpaque));
}

void WaylandSurface::fill(Rect area, uint32_t pixel) {
    area = intersectRect(area, {0, 0, shown_.width, shown_.height});
    // A part never drawn shows the black beneath: black needs no memory there.
    const bool unseen = kind_ == SurfaceKind::Part && chain_.slots() == 0 && pixel == 0;
    ShmBuffer* buffer = isEmpty(area) || black_ || unseen ? nullptr : drawTarget();
    if (buffer == nullptr) {
        return;
    }
    ChangedBox changed;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        uint32_t* out = buffer->pixels() + static_cast<size_t>(y) * shown_.width;
        for (int32_t x = area.left; x < area.right; ++x) {
            changed.put(out, x, y, pixel | kOpaque);
        }
    }
    chain_.drew(changed.box());
}

void WaylandSurface::onFrameDone() {
    wl_callback_destroy(frame_);
    frame_ = nullptr;
}

void WaylandSurface::flush() {
    if (!havePlan_ || closed_) {
        return;
    }
    if (frame_ != nullptr || !chain_.hasFrame()) {
        if (partsChanged_) {
            wl_surface_commit(surface_);  // the same picture, the parts' new state
            partsChanged_ = false;
        }
        return;
    }
    partsChanged_ = false;
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
