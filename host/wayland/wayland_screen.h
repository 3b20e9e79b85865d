#pragma once
#include <cstdint>
#include <memory>

#include "host/posix/linux_options.h"
#include "host/wayland/wayland_surface.h"

struct wl_output;
struct wl_registry;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace vandrel {

struct WaylandScreen;

// Told when an output has described itself (wl_output.done, or xdg_output.done where the
// output is older).
class ScreenOwner {
  public:
    virtual void onOutputDone(WaylandScreen& screen) = 0;

  protected:
    ~ScreenOwner() = default;
};

// One output of the compositor as the saver knows it: its wl_output, the xdg_output that
// tells its place in the layout, and the saver's surface on it, let go together (the
// surface first).
struct WaylandScreen {
    WaylandScreen(wl_registry* registry, uint32_t global, uint32_t version, ScreenOwner& owner);
    ~WaylandScreen();
    WaylandScreen(const WaylandScreen&) = delete;
    WaylandScreen& operator=(const WaylandScreen&) = delete;

    // Asks for the output's place in the layout, once, where the compositor offers it.
    void describe(zxdg_output_manager_v1* manager);
    // The output's pixel size as shown.
    PixelSize shownSize() const { return shownModeSize(modeWidth, modeHeight, transform); }

    ScreenOwner& owner;
    const uint32_t global;
    const uint32_t version;
    wl_output* const output;
    zxdg_output_v1* xdgOutput = nullptr;  // the layout position, where wl_output has none
    char name[kMaxOutputName + 1] = "";
    int32_t x = 0, y = 0;
    int32_t modeWidth = 0, modeHeight = 0;
    int32_t transform = 0, scale = 1;
    bool ready = false;  // its first done came
    std::unique_ptr<WaylandSurface> surface;
};

}  // namespace vandrel
