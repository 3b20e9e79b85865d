#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "host/posix/linux_options.h"
#include "host/posix/polled_output.h"
#include "host/wayland/wayland_surface.h"
#include "render/font.h"

struct wl_display;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_touch;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace vandrel {

struct WaylandListeners;

// The saver on a Wayland compositor: every output covered (a layer-shell overlay each, or
// a fullscreen xdg_toplevel where there is no layer shell), one of them the drawing area
// that shows the dashboard and the others black; or, with --window, one ordinary window.
// Outputs may come and go while it runs; the dashboard moves to the next top-left output
// when its own goes. A key, a button, a touch or pointer travel past the wake threshold
// ends it (in a window: a key, a button, a touch or the close button).
class WaylandOutput final : public PolledOutput {
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

  private:
    friend struct WaylandListeners;

    struct Screen {
        WaylandOutput* owner;
        uint32_t global;
        wl_output* output;
        uint32_t version;
        zxdg_output_v1* xdgOutput = nullptr;  // the layout position, where wl_output has none
        char name[kMaxOutputName + 1];
        int32_t x = 0, y = 0;
        int32_t modeWidth = 0, modeHeight = 0;
        int32_t transform = 0, scale = 1;
        bool ready = false;  // its first done came
        std::unique_ptr<WaylandSurface> surface;
    };

    struct Seat {
        WaylandOutput* owner;
        uint32_t global;
        uint32_t version;
        wl_seat* seat;
        wl_pointer* pointer = nullptr;
        wl_keyboard* keyboard = nullptr;
        wl_touch* touch = nullptr;
        Point surfaceOrigin{0, 0};  // where the pointer's surface lies in the layout
    };

    void onGlobal(wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    void onGlobalRemove(uint32_t name);
    void onOutputDone(Screen& screen);
    void describe(Screen& screen);
    void onSeatCapabilities(Seat& seat, uint32_t capabilities);
    void onPointerAt(Seat& seat, Point local);
    void requestEnd(int exitCode);
    // After events: drops closed surfaces, follows a window's output, places the dashboard.
    void settle();
    void chooseDashboard();
    void setDashboard(WaylandSurface* surface);
    // Where the dashboard's pixels go for the surface's present size: parts over its black
    // background where the compositor can place them, else the surface itself. True when
    // the parts were made anew (empty).
    bool planParts();
    void dropParts();
    Screen* screenOf(const wl_surface* surface);
    void releaseSeat(Seat& seat);
    // Let go of everything the output or seat holds, the object itself last.
    void dropScreen(Screen& screen);
    void dropSeat(Seat& seat);

    wl_display* display_;
    LinuxOptions options_;
    bool windowMode_;
    WaylandGlobals globals_;
    wl_registry* registry_ = nullptr;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    std::vector<std::unique_ptr<Screen>> screens_;
    std::vector<std::unique_ptr<Seat>> seats_;
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

    bool end_ = false;
    int exitCode_ = 0;
    bool resized_ = false;
    bool lost_ = false;
    bool haveReference_ = false;
    Point reference_{0, 0};

    std::unique_ptr<Font> labelFont_;
    std::unique_ptr<Canvas> label_;
};

}  // namespace vandrel
