#include "controller/saver_logic.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace vandrel {

int32_t parseSettingInt(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t value = 0;
    constexpr int64_t limit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value < limit) {
            value = value * 10 + (*p - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

// Formats into out; on overflow leaves the empty text and reports false.
template <typename... Args>
static bool formatInto(char* out, size_t outSize, const char* format, Args... args) {
    if (outSize == 0) {
        return false;
    }
    int n = std::snprintf(out, outSize, format, args...);
    if (n < 0 || static_cast<size_t>(n) >= outSize) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool buildWorkerCommandLine(const char* clientPath, char* out, size_t outSize) {
    return formatInto(out, outSize, "\"%s\" -min", clientPath);
}

bool buildHelpPath(const char* clientDir, const char* currentDir, char* out, size_t outSize) {
    const char* dir = clientDir[0] != '\0' ? clientDir : currentDir;
    size_t length = std::strlen(dir);
    // A directory given with its trailing separator ("C:\") must not double it.
    const char* separator =
        length > 0 && (dir[length - 1] == '\\' || dir[length - 1] == '/') ? "" : "\\";
    return formatInto(out, outSize, "%s%swindows_help.txt", dir, separator);
}

bool buildHelpCommandLine(const char* viewer, const char* helpPath, char* out, size_t outSize) {
    return formatInto(out, outSize, "\"%s\" \"%s\"", viewer, helpPath);
}

DisplayMode displayModeForWidth(int32_t clientWidth) {
    if (clientWidth < 640) {
        return DisplayMode::Label;
    }
    return clientWidth < 800 ? DisplayMode::Quiet : DisplayMode::Full;
}

Point canvasOrigin(int32_t clientRight, int32_t clientBottom, int32_t scale) {
    return {(clientRight - kCanvasWidth * scale) / 2, (clientBottom - kCanvasHeight * scale) / 2};
}

ScreenCover coverScreens(Rect virtualScreen, int32_t primaryWidth, int32_t primaryHeight) {
    const Rect primary{0, 0, primaryWidth, primaryHeight};
    Rect window = virtualScreen;
    if (isEmpty(window) || intersectRect(window, primary) != primary) {
        window = primary;
    }
    return {window,
            {-window.left, -window.top, primaryWidth - window.left, primaryHeight - window.top}};
}

int32_t parseScaleSetting(const char* text) {
    const int32_t value = parseSettingInt(text);
    return value >= 1 && value <= kMaxScale ? value : 0;
}

int32_t automaticScale(int32_t width, int32_t height) {
    return std::max(1, std::min(width / 800, height / 600));
}

int32_t dashboardScale(int32_t setting, int32_t width, int32_t height) {
    if (setting < 1 || setting > kMaxScale) {
        return automaticScale(width, height);
    }
    const int32_t fits = std::max(1, std::min(width / kCanvasWidth, height / kCanvasHeight));
    return std::min(setting, fits);
}

Placement placeDashboard(Rect primary, int32_t scaleSetting) {
    Placement p;
    p.primary = primary;
    const int32_t w = primary.right - primary.left, h = primary.bottom - primary.top;
    p.scale = dashboardScale(scaleSetting, w, h);
    const Point o = canvasOrigin(w, h, p.scale);
    p.canvasOrigin = {primary.left + o.x, primary.top + o.y};
    return p;
}

Rect canvasToClient(Rect part, const Placement& p) {
    const int32_t s = p.scale;
    return {p.canvasOrigin.x + part.left * s, p.canvasOrigin.y + part.top * s,
            p.canvasOrigin.x + part.right * s, p.canvasOrigin.y + part.bottom * s};
}

Rect clientToCanvas(Rect area, const Placement& p) {
    const int64_t s = p.scale;
    // Floor for the near edges, ceiling for the far ones, in 64 bits.
    auto floorDiv = [s](int64_t v) { return v >= 0 ? v / s : -((-v + s - 1) / s); };
    auto ceilDiv = [s](int64_t v) { return v >= 0 ? (v + s - 1) / s : -(-v / s); };
    auto clampTo = [](int64_t v, int32_t limit) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, 0, limit));
    };
    const Rect r{clampTo(floorDiv(int64_t{area.left} - p.canvasOrigin.x), kCanvasWidth),
                 clampTo(floorDiv(int64_t{area.top} - p.canvasOrigin.y), kCanvasHeight),
                 clampTo(ceilDiv(int64_t{area.right} - p.canvasOrigin.x), kCanvasWidth),
                 clampTo(ceilDiv(int64_t{area.bottom} - p.canvasOrigin.y), kCanvasHeight)};
    return isEmpty(r) ? Rect{0, 0, 0, 0} : r;
}

int32_t bannerTop(const Placement& p) {
    return p.primary.top + 10 * p.scale;
}

int32_t bannerX(int32_t clientWidth, int32_t bannerWidth, int32_t elapsedMs) {
    int64_t travel = (static_cast<int64_t>(bannerWidth) + clientWidth) * elapsedMs /
                     static_cast<int64_t>(kBannerPassMs);
    int64_t x = clientWidth - travel;
    if (x < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    if (x > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(x);
}

BlankDeadline blankDeadlineFor(uint32_t creationTick, int32_t blank, int32_t minutes) {
    BlankDeadline deadline;
    if (blank == 0) {
        return deadline;
    }
    int64_t delay = static_cast<int64_t>(minutes) * 60000;
    if (delay < 0) {
        delay = 0;
    }
    if (delay > std::numeric_limits<int32_t>::max()) {
        return deadline;  // beyond what a tick difference can tell apart: never
    }
    deadline.armed = true;
    deadline.tick = creationTick + static_cast<uint32_t>(delay);
    return deadline;
}

bool deadlinePassed(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) > 0;
}

void ControllerLogic::create(int32_t clientWidth, uint32_t now, int32_t blank, int32_t minutes) {
    *this = ControllerLogic();
    clientWidth_ = clientWidth;
    displayMode_ = displayModeForWidth(clientWidth);
    if (displayMode_ != DisplayMode::Label) {
        deadline_ = blankDeadlineFor(now, blank, minutes);
    }
}

TickPlan ControllerLogic::tick(uint32_t now, bool mappingOpen, bool messagePresent,
                               int32_t bannerWidth) {
    TickPlan plan;
    if (displayMode_ == DisplayMode::Label) {
        plan.action = TickAction::DrawLabel;
        return plan;
    }
    if (displayMode_ != DisplayMode::Full) {
        return plan;
    }
    // The deadline is watched in every state, so a saver still connecting blanks too.
    if (deadline_.armed && deadlinePassed(now, deadline_.tick)) {
        deadline_.armed = false;
        blankPhase_ = BlankPhase::BlankPending;
    }
    switch (state_) {
        case ControllerState::Start:
            state_ = mappingOpen ? ControllerState::Running : ControllerState::Connect;
            return plan;
        case ControllerState::Connect:
            plan.action = TickAction::Connect;
            return plan;
        case ControllerState::Running:
            break;
    }
    switch (blankPhase_) {
        case BlankPhase::Awake:
            plan.action = TickAction::Update;
            return plan;
        case BlankPhase::BlankPending:
            plan.action = TickAction::ClearScreen;
            return plan;
        case BlankPhase::Blanked:
            break;
    }
    if (!messagePresent) {
        return plan;
    }
    int32_t elapsed = static_cast<int32_t>(now - bannerStart_);
    if (elapsed >= static_cast<int32_t>(kBannerPassMs)) {
        bannerStart_ = now;  // a new pass; it enters from the right on the next tick
        return plan;
    }
    plan.action = TickAction::DrawBanner;
    plan.bannerX = bannerX(clientWidth_, bannerWidth, elapsed);
    return plan;
}

bool ControllerLogic::connectResult(bool attached) {
    if (attached) {
        state_ = ControllerState::Running;
    }
    return attached;
}

CanvasCopy ControllerLogic::shouldCopyCanvas(bool drew) {
    if (forceRedraw_) {
        forceRedraw_ = false;
        return CanvasCopy::Whole;
    }
    return drew ? CanvasCopy::Drawn : CanvasCopy::None;
}

void ControllerLogic::cleared(uint32_t now) {
    blankPhase_ = BlankPhase::Blanked;
    bannerStart_ = now;
}

bool movedPastThreshold(Point reference, Point now) {
    const int64_t dx = static_cast<int64_t>(now.x) - reference.x;
    const int64_t dy = static_cast<int64_t>(now.y) - reference.y;
    return (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy) > kWakeThreshold;
}

}  // namespace vandrel
