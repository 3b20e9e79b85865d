#pragma once
#include <cstddef>
#include <cstdint>

#include "render/rect.h"

// The controller's decisions that need no platform: settings values, the display mode,
// where the dashboard goes and at which scale, blanking time, the banner's travel and
// the tick-by-tick state. Each host only feeds them its messages.
namespace vandrel {

// --- Settings -------------------------------------------------------------------

// A settings integer: leading white space, one optional sign, then digits up to the
// first non-digit; no digits read as 0. Values beyond 32 bits are clamped.
int32_t parseSettingInt(const char* text);

// The largest path the platform accepts, without its NUL.
inline constexpr size_t kMaxPathChars = 259;

// "path" -min, quoted so that a path with spaces stays one argument. False when the
// result does not fit out (out then holds the empty text).
bool buildWorkerCommandLine(const char* clientPath, char* out, size_t outSize);
// The help file's path: in clientDir, or in currentDir when clientDir is empty.
bool buildHelpPath(const char* clientDir, const char* currentDir, char* out, size_t outSize);
// "viewer" "helpPath".
bool buildHelpCommandLine(const char* viewer, const char* helpPath, char* out, size_t outSize);

// --- Controller -----------------------------------------------------------------

inline constexpr int32_t kCanvasWidth = 752;
inline constexpr int32_t kCanvasHeight = 445;

enum class DisplayMode : uint8_t { Label, Quiet, Full };
DisplayMode displayModeForWidth(int32_t clientWidth);

enum class ControllerState : uint8_t { Start, Connect, Running };
enum class BlankPhase : uint8_t { Awake, BlankPending, Blanked };

// Where the canvas goes, shown at scale: centred, each half truncated toward zero.
Point canvasOrigin(int32_t clientRight, int32_t clientBottom, int32_t scale = 1);

// --- Input ------------------------------------------------------------------------

inline constexpr int32_t kWakeThreshold = 4;

// True when the pointer has travelled more than the threshold (horizontal plus vertical
// pixels) from the reference point: the saver ends. Every host applies the same rule.
bool movedPastThreshold(Point reference, Point now);

// --- Screens and scale ------------------------------------------------------------

// The saver's window spans every monitor; what it draws lies on the primary one.
struct ScreenCover {
    Rect window;   // screen coordinates: the virtual screen
    Rect primary;  // the primary monitor in the window's client coordinates
};
// From the virtual screen's rectangle (screen coordinates, the primary at the origin)
// and the primary's size. A virtual screen that is empty or misses the primary (metrics
// a platform may not have) falls back to the primary alone.
ScreenCover coverScreens(Rect virtualScreen, int32_t primaryWidth, int32_t primaryHeight);

inline constexpr int32_t kMaxScale = 8;
// The Scale setting: 1 to 8 fixes the factor; 0, missing and anything else is automatic.
int32_t parseScaleSetting(const char* text);
// One canvas pixel per 800 x 600 of the primary, at least 1.
int32_t automaticScale(int32_t width, int32_t height);
// The factor in use: automatic for setting 0, else the setting capped to the largest
// factor at which the canvas still fits the primary (never below 1).
int32_t dashboardScale(int32_t setting, int32_t width, int32_t height);

// Where the dashboard and the banner go within the window.
struct Placement {
    Rect primary;  // client coordinates
    int32_t scale = 1;
    Point canvasOrigin{0, 0};  // client coordinates of the canvas's top-left
    friend constexpr bool operator==(const Placement&, const Placement&) = default;
};
Placement placeDashboard(Rect primary, int32_t scaleSetting);
// A part of the canvas as it lies in the window.
Rect canvasToClient(Rect canvasPart, const Placement& placement);
// The part of the canvas that covers a window area (whole canvas pixels, clipped).
Rect clientToCanvas(Rect clientArea, const Placement& placement);

// The banner's top edge in the window: 10 canvas pixels below the primary's top.
int32_t bannerTop(const Placement& placement);

inline constexpr uint32_t kBannerPassMs = 24000;
// The banner's left edge elapsedMs into a pass: from clientWidth down to -bannerWidth.
int32_t bannerX(int32_t clientWidth, int32_t bannerWidth, int32_t elapsedMs);

// When blanking starts. The delay is computed in 64 bits; a negative delay blanks at
// once, and one that a signed 32-bit tick difference cannot express never blanks.
struct BlankDeadline {
    bool armed = false;
    uint32_t tick = 0;
};
BlankDeadline blankDeadlineFor(uint32_t creationTick, int32_t blank, int32_t minutes);
// Wrap-safe: true once now lies after the deadline.
bool deadlinePassed(uint32_t now, uint32_t deadline);

// How much of the canvas to copy after an update.
enum class CanvasCopy : uint8_t { None, Drawn, Whole };

// What one tick asks of the window side.
enum class TickAction : uint8_t {
    None,
    DrawLabel,    // the two-line label (Label mode)
    Connect,      // try to attach; report with connectResult
    Update,       // run the update cycle; report with shouldCopyCanvas
    ClearScreen,  // blank the client area
    DrawBanner,   // copy the banner at bannerX
};
struct TickPlan {
    TickAction action = TickAction::None;
    int32_t bannerX = 0;
};

// The controller's state from window creation on, one step per tick.
class ControllerLogic {
  public:
    void create(int32_t clientWidth, uint32_t now, int32_t blank, int32_t minutes);

    // messagePresent and bannerWidth are read only in the blanked phase.
    TickPlan tick(uint32_t now, bool mappingOpen, bool messagePresent, int32_t bannerWidth);
    // After TickAction::Connect: true when attached (now Running); false means the
    // caller starts the worker and ends the saver.
    bool connectResult(bool attached);
    // After TickAction::Update: the first copy is whole, later ones what was drawn.
    CanvasCopy shouldCopyCanvas(bool drew);
    // The dashboard has been copied to the window and is still meant to be seen, so a
    // repaint of the window copies it again.
    bool canvasOnScreen() const {
        return displayMode_ == DisplayMode::Full && state_ == ControllerState::Running &&
               blankPhase_ == BlankPhase::Awake && !forceRedraw_;
    }
    // After TickAction::ClearScreen.
    void cleared(uint32_t now);
    // The window or display changed size: the banner travels the new width. The display
    // mode chosen at creation stays.
    void resized(int32_t clientWidth) { clientWidth_ = clientWidth; }
    // The record went away under a running saver: connect again, and copy the whole
    // canvas once attached anew.
    void reconnect() {
        if (state_ == ControllerState::Running) {
            state_ = ControllerState::Connect;
            forceRedraw_ = true;
        }
    }

    DisplayMode displayMode() const { return displayMode_; }
    ControllerState state() const { return state_; }
    BlankPhase blankPhase() const { return blankPhase_; }

  private:
    DisplayMode displayMode_ = DisplayMode::Label;
    ControllerState state_ = ControllerState::Start;
    BlankPhase blankPhase_ = BlankPhase::Awake;
    int32_t clientWidth_ = 0;
    BlankDeadline deadline_;
    uint32_t bannerStart_ = 0;
    bool forceRedraw_ = true;
};

}  // namespace vandrel
