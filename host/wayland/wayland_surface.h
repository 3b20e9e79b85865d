#pragma once
#include <cstdint>

#include "controller/saver_logic.h"
#include "host/wayland/wayland_layout.h"
#include "host/wayland/shm_buffer.h"
#include "render/canvas.h"

struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_shm;
struct wl_subcompositor;
struct wl_subsurface;
struct wl_surface;
struct wp_viewport;
struct wp_viewporter;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace vandrel {

// The compositor's globals the display binds; null where the compositor lacks one.
struct WaylandGlobals {
    wl_display* display = nullptr;
    wl_compositor* compositor = nullptr;
    uint32_t compositorVersion = 0;
    wl_shm* shm = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    wp_viewporter* viewporter = nullptr;
    wl_subcompositor* subcompositor = nullptr;
};

enum class SurfaceKind : uint8_t {
    Layer,       // an overlay over one output, anchored to its four edges
    Fullscreen,  // an xdg_toplevel made fullscreen on one output
    Window,      // an ordinary xdg_toplevel
    Part,        // a subsurface holding one part of its parent's drawing area
};

// One surface the saver shows, with its buffers: sized at its output's own pixels (see
// planBuffer), drawn in buffer pixels, and committed only after the compositor has shown
// the previous frame and only where pixels changed, so a still picture costs nothing.
// Until its first configure it has no size and drawing into it does nothing.
class WaylandSurface {
  public:
    WaylandSurface(const WaylandGlobals& globals, SurfaceKind kind, wl_output* output);
    // A part over parent, placed and sized as planned (needs the subcompositor and, for a
    // viewport, the viewporter), drawn in its own buffer pixels. It takes no input, and
    // shows nothing (the parent beneath) until something other than black is drawn.
    WaylandSurface(const WaylandGlobals& globals, wl_surface* parent, const PartPlan& plan);
    ~WaylandSurface();
    WaylandSurface(const WaylandSurface&) = delete;
    WaylandSurface& operator=(const WaylandSurface&) = delete;

    SurfaceKind kind() const { return kind_; }
    wl_surface* surface() const { return surface_; }
    // The output's pixel size as shown (0 x 0 when unknown) and its integer scale.
    void setOutputFacts(PixelSize pixels, int32_t scale);
    // A black surface shows no dashboard: it keeps its size, takes no drawing and holds the
    // least buffer that covers its output (see blackBuffer), drawn once per size. Surfaces
    // on outputs start black, a window does not; turning black drops whatever was drawn.
    void setBlack(bool black);

    bool configured() const { return havePlan_; }
    // The drawing area's plan, valid once configured.
    const BufferPlan& plan() const { return plan_; }
    // The buffer's size, 0 before the first configure.
    int32_t width() const { return havePlan_ ? plan_.width : 0; }
    int32_t height() const { return havePlan_ ? plan_.height : 0; }
    // True once after the buffers were made anew at another size (black again).
    bool takeResized();
    // The compositor closed the surface (layer shell) or asks it to close (xdg_toplevel).
    bool closed() const { return closed_; }
    // The output the surface last entered, for a window's scale; null before any.
    wl_output* entered() const { return entered_; }

    // Copies part of canvas so that its top-left pixel lands at origin + part's corner *
    // scale, each canvas pixel a scale x scale block, clipped to clip and the buffer.
    void copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale, Rect clip);
    void fill(Rect area, uint32_t pixel);
    // Commits the frame drawn since the last one, if there is one and one is due.
    void flush();
    // Its parts' places and stacking changed: they take effect with its next commit, made
    // by the next flush even without a frame.
    void commitParts() { partsChanged_ = true; }

    // For the listeners.
    void onConfigure(int32_t logicalWidth, int32_t logicalHeight);
    void onClosed() { closed_ = true; }
    void onEnter(wl_output* output) { entered_ = output; }
    // The output is going: a later one may be given its address.
    void forget(const wl_output* output) {
        if (entered_ == output) {
            entered_ = nullptr;
        }
    }
    void onFrameDone();
    void onReleased(int slot) { chain_.released(slot); }
    void setPendingSize(int32_t w, int32_t h) {
        pendingWidth_ = w;
        pendingHeight_ = h;
    }
    int32_t pendingWidth() const { return pendingWidth_; }
    int32_t pendingHeight() const { return pendingHeight_; }

    // What a buffer's release names.
    struct SlotRef {
        WaylandSurface* owner;
        int slot;
    };

  private:
    // fresh: new black buffers even where the size stays.
    void applyPlan(bool fresh = false);
    // Sets the buffer scale and viewport for shown_.
    void showPlan();
    // The slot to draw into, brought up to date; null when its memory cannot be had.
    ShmBuffer* drawTarget();

    const WaylandGlobals& globals_;
    SurfaceKind kind_;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    xdg_surface* xdgSurface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    wl_subsurface* subsurface_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    wl_callback* frame_ = nullptr;
    wl_output* entered_ = nullptr;

    bool configured_ = false;
    int32_t logicalWidth_ = 0, logicalHeight_ = 0;  // from the last configure
    int32_t pendingWidth_ = 0, pendingHeight_ = 0;  // an xdg_toplevel's, until acked
    PixelSize pixels_{0, 0};
    int32_t scale_ = 1;
    bool havePlan_ = false;
    BufferPlan plan_{};   // the drawing area's
    BufferPlan shown_{};  // the buffers', the same unless black
    bool black_;
    bool resized_ = false;
    bool closed_ = false;
    bool partsChanged_ = false;

    BufferChain chain_;
    ShmBuffer buffers_[BufferChain::kMaxSlots];
    SlotRef refs_[BufferChain::kMaxSlots];
};

}  // namespace vandrel
