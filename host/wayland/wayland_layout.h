#pragma once
#include <cstdint>

#include "render/drawn_area.h"

// The Wayland display's decisions that need no compositor: which output shows the
// dashboard, how big its buffers are and how they map to the screen, and which of a
// surface's buffers the next drawing goes into. Tested natively.
namespace vandrel {

// Far beyond any screen; every size a compositor sends is clamped to it before anything
// is allocated, which keeps a buffer's byte count well inside 32 bits.
inline constexpr int32_t kMaxSurfaceSide = 16384;

struct OutputPlace {
    const char* name;  // from wl_output.name; "" when the compositor does not say
    int32_t x, y;      // top-left corner in the compositor's layout
};

// The output that shows the dashboard: the one called wanted when there is one (wanted
// empty or null: none), else the top-left one, smallest y first, then smallest x; the
// first listed among equals. -1 for no outputs.
int chooseDashboardOutput(const OutputPlace* outputs, int count, const char* wanted);

struct PixelSize {
    int32_t width, height;
    friend constexpr bool operator==(const PixelSize&, const PixelSize&) = default;
};

// An output's size in its own pixels as shown: the current mode, turned on its side by a
// 90 or 270 degree transform (odd wl_output.transform values), clamped to
// 0..kMaxSurfaceSide.
PixelSize shownModeSize(int32_t modeWidth, int32_t modeHeight, int32_t transform);

// How a surface's buffer covers it.
struct BufferPlan {
    int32_t width, height;  // the buffer's pixels
    int32_t bufferScale;    // for wl_surface.set_buffer_scale
    bool viewport;          // a viewport maps the buffer onto logical (wp_viewporter)
    int32_t logicalWidth, logicalHeight;
    Rect source{0, 0, 0, 0};  // the part of the buffer the viewport shows; empty: all
    friend constexpr bool operator==(const BufferPlan&, const BufferPlan&) = default;
};

// Buffers at the output's own pixel size, so that the compositor never resamples the
// dashboard: an integer ratio between pixels and the configured (logical) size becomes the
// buffer scale; any other needs a viewport. Where the pixel size is not known (0: a window)
// the output's integer scale multiplies the logical size. A logical size of 0 (the
// compositor leaves it to us) is the pixel size divided by the scale, rounded up. Without a
// viewporter a fractional ratio falls back to the integer scale, the best left. Every size
// is clamped to 1..kMaxSurfaceSide.
BufferPlan planBuffer(int32_t logicalWidth, int32_t logicalHeight, PixelSize pixels,
                      int32_t outputScale, bool haveViewporter);

// The buffer of a surface that shows only black, where the compositor has a viewporter:
// 3 x 3 pixels whose middle one the viewport stretches over the whole logical size (a
// compositor that steps through the source in fixed point overshoots its edges, and finds
// black there too). Without a viewporter: the full buffer as planned.
BufferPlan blackBuffer(const BufferPlan& full, bool haveViewporter);

// A part of a surface's drawing area shown by a subsurface of its own, over the surface.
struct PartPlan {
    Rect area;          // the drawing-area pixels its buffer holds
    int32_t x, y;       // its place on the surface, in logical coordinates
    BufferPlan buffer;  // its buffer and how that maps onto its logical size
    friend constexpr bool operator==(const PartPlan&, const PartPlan&) = default;
};

// The part that shows wanted (drawing-area pixels of a surface planned as full): wanted
// clipped to the drawing area and grown to the nearest pixel edges that fall on whole
// logical coordinates, since a subsurface is placed in those; so every pixel lands where
// the full buffer would have put it. An empty area when wanted misses the drawing area.
PartPlan planPart(const BufferPlan& full, Rect wanted);

// The parts that hold a dashboard output's pixels over a black background: the canvas
// where it lies and the banner's strip. None (the surface holds every pixel itself) when
// the canvas does not lie wholly inside the drawing area (a small output: a clipped
// dashboard or the label) or when the parts would hold as many pixels as the surface.
struct DashboardParts {
    int count = 0;
    PartPlan parts[2]{};
};
DashboardParts planDashboardParts(const BufferPlan& full, Rect canvas, Rect banner);

// The buffers behind one surface. The compositor may read a committed buffer until it
// releases it, so drawing goes into another, brought up to date first: every slot keeps
// the areas in which it lags behind the newest picture. The caller owns the pixel memory
// and does the copies this bookkeeping asks for; a new slot's memory starts out black.
class BufferChain {
  public:
    static constexpr int kMaxSlots = 3;

    struct DrawTarget {
        int slot;           // the slot to draw into; == slots() before the call: make it
        int source;         // the slot to copy catchUp from first, -1 for none
        DrawnArea catchUp;  // areas in which slot lags behind source
    };

    // Forgets all slots: the caller freed them (a new size). The picture is black.
    void reset(int32_t width, int32_t height);
    int slots() const { return slots_; }
    // The slot that takes the next drawing: the one drawn into since the last commit if
    // any; else the last committed one once the compositor has released it; else a free
    // one; else a new one while fewer than kMaxSlots exist; else (all held) the oldest
    // other, which the compositor may be reading.
    DrawTarget beginDraw();
    // r was drawn into the slot beginDraw gave: the next frame's damage, and stale in all
    // other slots.
    void drew(Rect r);
    // Something was drawn since the last commit.
    bool hasFrame() const { return drawing_ >= 0 && !damage_.empty(); }
    // The slot to attach now, with the damage since the previous commit; the slot is held
    // by the compositor until released().
    int commit(DrawnArea& damage);
    void released(int slot);
    bool held(int slot) const { return slot >= 0 && slot < slots_ && held_[slot]; }

  private:
    Rect full_{0, 0, 0, 0};
    int slots_ = 0;
    int drawing_ = -1, committed_ = -1;
    bool held_[kMaxSlots] = {};
    uint32_t age_[kMaxSlots] = {};  // when each was last committed
    uint32_t commits_ = 0;
    DrawnArea stale_[kMaxSlots];
    DrawnArea damage_;
};

}  // namespace vandrel
