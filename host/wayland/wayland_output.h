#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "host/posix/linux_options.h"
#include "host/posix/polled_output.h"
#include "host/wayland/wayland_screen.h"
#include "host/wayland/wayland_seat.h"
#include "host/wayland/wayland_surface.h"
#include "render/font.h"

struct wl_display;
struct wl_output;
struct wl_registry;
struct zxdg_output_manager_v1;

namespace vandrel {

struct WaylandListeners;

// The saver on a Wayland compositor: every output covered (a layer-shell overlay each, or
// a fullscreen xdg_toplevel where there is no layer shell), one of them the drawing area
// that shows the dashboard and the others black; or, with --window, one ordinary window.
// Outputs may come and go while it runs; the dashboard moves to the next top-left output
// when its own goes. A key, a button, a touch or pointer travel past the wake threshold
// ends it (in a window: a key, a button, a touch or the close button).
class WaylandOutput final : public PolledOutput, private SeatOwner, private ScreenOwner {
  public:
    WaylandOutput(wl_display* display, const LinuxOptions& options);
    ~WaylandOutput() override;
    WaylandOutput(const WaylandOutput&) = delete;
    WaylandOutput& operator=(const WaylandOutput&) = delete;

    // Binds the globals and covers the outputs; returns once the dashboard's surface has a
    // size, or without one when the compositor has no outputs yet. False, with a line on
    // stderr, when the compositor lacks a shell or shared memory or the connection fails.
    bool start();

    int connectionFd() const override;
    void dispatch(OutputEvents& events) override;
    void flush() override;
    int32_t width() const override { return dashboard_ != nullptr ? dashboard_->width() : 0; }
    int32_t height() const override { return dashboard_ != nullptr ? dashboard_->height() : 0; }
    // One saver covers every output: no other saver of this desktop competes.
    ScreenRole role() const override { return ScreenRole::Primary; }

    void copyCanvas(const Canvas& canvas, Rect part, Point origin, int32_t scale,
                    Rect clip) override;
    void fillBlack(Rect area) override;
    void drawLabel(int32_t left, int32_t top) override;
    // The parts follow the dashboard's place: planned at the first, made anew at a change.
    void place(const Placement& placement) override;

  private:
    friend struct WaylandListeners;

    // SeatOwner
    void onWake() override { requestEnd(0); }
    Point layoutOrigin(const wl_surface* surface) const override;
    // ScreenOwner
    void onOutputDone(WaylandScreen& screen) override;

    void onGlobal(wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    void onGlobalRemove(uint32_t name);
    void requestEnd(int exitCode);
    // After events: drops closed surfaces, follows a window's output, places the dashboard.
    void settle();
    void chooseDashboard();
    void setDashboard(WaylandSurface* surface);
    // Where the dashboard's pixels go for the surface's present size and the placement:
    // parts over its black background where the compositor can place them, else the
    // surface itself. Nothing before the first placement.
    void planParts();
    void dropParts();

    wl_display* display_;
    LinuxOptions options_;
    bool windowMode_;
    WaylandGlobals globals_;
    wl_registry* registry_ = nullptr;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    std::vector<std::unique_ptr<WaylandScreen>> screens_;
    std::vector<std::unique_ptr<WaylandSeat>> seats_;
    PointerTravel travel_;
    std::unique_ptr<WaylandSurface> window_;
    wl_output* windowOutput_ = nullptr;
    WaylandSurface* dashboard_ = nullptr;
    // The dashboard's and the banner's parts of the drawing area, over dashboard_.
    static constexpr int kMaxParts = 2;
    std::unique_ptr<WaylandSurface> parts_[kMaxParts];
    Rect partAreas_[kMaxParts]{};
    int partCount_ = 0;
    bool partsPlanned_ = false;
    BufferPlan partsFor_{};
    bool placed_ = false;
    Placement placement_{};

    bool end_ = false;
    int exitCode_ = 0;
    bool resized_ = false;
    bool lost_ = false;

    std::unique_ptr<Font> labelFont_;
    std::unique_ptr<Canvas> label_;
};

}  // namespace vandrel
