#include "host/wayland/wayland_layout.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace vandrel {
namespace {

// wl_output.scale is an integer the compositor chose; anything past this is nonsense.
constexpr int32_t kMaxOutputScale = 16;

int32_t clampSide(int64_t side) {
    return static_cast<int32_t>(std::clamp<int64_t>(side, 1, kMaxSurfaceSide));
}

// One axis of a part: the pixel step whose edges fall on whole logical coordinates, and
// the logical step that matches it.
struct Steps {
    int32_t pixels, logical;
};

Steps stepsOf(const BufferPlan& full, int32_t pixels, int32_t logical) {
    if (!full.viewport) {
        return {std::max(full.bufferScale, 1), 1};
    }
    const int32_t g = std::gcd(std::max(pixels, 1), std::max(logical, 1));
    return {std::max(pixels, 1) / g, std::max(logical, 1) / g};
}

int64_t areaOf(const Rect& r) {
    return isEmpty(r) ? 0 : int64_t{r.right - r.left} * (r.bottom - r.top);
}

}  // namespace

int chooseDashboardOutput(const OutputPlace* outputs, int count, const char* wanted) {
    if (wanted != nullptr && wanted[0] != '\0') {
        for (int i = 0; i < count; ++i) {
            if (outputs[i].name != nullptr && std::strcmp(outputs[i].name, wanted) == 0) {
                return i;
            }
        }
    }
    int best = -1;
    for (int i = 0; i < count; ++i) {
        if (best < 0 || outputs[i].y < outputs[best].y ||
            (outputs[i].y == outputs[best].y && outputs[i].x < outputs[best].x)) {
            best = i;
        }
    }
    return best;
}

PixelSize shownModeSize(int32_t modeWidth, int32_t modeHeight, int32_t transform) {
    const int32_t w = std::clamp(modeWidth, 0, kMaxSurfaceSide);
    const int32_t h = std::clamp(modeHeight, 0, kMaxSurfaceSide);
    // 90, 270 and their flipped forms are the odd values.
    return (transform & 1) != 0 ? PixelSize{h, w} : PixelSize{w, h};
}

BufferPlan planBuffer(int32_t logicalWidth, int32_t logicalHeight, PixelSize pixels,
                      int32_t outputScale, bool haveViewporter) {
    int32_t scale = std::clamp(outputScale, 1, kMaxOutputScale);
    const bool knownPixels = pixels.width > 0 && pixels.height > 0;
    const int32_t pw = knownPixels ? clampSide(pixels.width) : 0;
    const int32_t ph = knownPixels ? clampSide(pixels.height) : 0;
    if (logicalWidth <= 0 || logicalHeight <= 0) {
        logicalWidth = knownPixels ? (pw + scale - 1) / scale : 1;
        logicalHeight = knownPixels ? (ph + scale - 1) / scale : 1;
    }
    const int32_t lw = clampSide(logicalWidth), lh = clampSide(logicalHeight);
    if (knownPixels) {
        if (pw % lw == 0 && ph % lh == 0 && pw / lw == ph / lh) {
            return {pw, ph, pw / lw, false, lw, lh};
        }
        if (haveViewporter) {
            return {pw, ph, 1, true, lw, lh};
        }
    }
    if (int64_t{lw} * scale > kMaxSurfaceSide || int64_t{lh} * scale > kMaxSurfaceSide) {
        scale = 1;
    }
    return {lw * scale, lh * scale, scale, false, lw, lh};
}

BufferPlan blackBuffer(const BufferPlan& full, bool haveViewporter) {
    return haveViewporter
               ? BufferPlan{3, 3, 1, true, full.logicalWidth, full.logicalHeight, {1, 1, 2, 2}}
               : full;
}

PartPlan planPart(const BufferPlan& full, Rect wanted) {
    const Rect area = intersectRect(wanted, {0, 0, full.width, full.height});
    if (isEmpty(area)) {
        return {};
    }
    const Steps sx = stepsOf(full, full.width, full.logicalWidth);
    const Steps sy = stepsOf(full, full.height, full.logicalHeight);
    // The drawing area's sides are whole multiples of the steps: growing stays inside it.
    const Rect grown{area.left / sx.pixels * sx.pixels, area.top / sy.pixels * sy.pixels,
                     (area.right + sx.pixels - 1) / sx.pixels * sx.pixels,
                     (area.bottom + sy.pixels - 1) / sy.pixels * sy.pixels};
    const Rect r = intersectRect(grown, {0, 0, full.width, full.height});
    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    const int32_t lw = w / sx.pixels * sx.logical, lh = h / sy.pixels * sy.logical;
    return {r,
            r.left / sx.pixels * sx.logical,
            r.top / sy.pixels * sy.logical,
            {w, h, full.viewport ? 1 : full.bufferScale, full.viewport, lw, lh}};
}

DashboardParts planDashboardParts(const BufferPlan& full, Rect canvas, Rect banner) {
    const Rect all{0, 0, full.width, full.height};
    DashboardParts parts;
    if (isEmpty(canvas) || intersectRect(canvas, all) != canvas) {
        return parts;
    }
    parts.parts[parts.count++] = planPart(full, canvas);
    const PartPlan strip = planPart(full, banner);
    if (!isEmpty(strip.area)) {
        parts.parts[parts.count++] = strip;
    }
    int64_t held = 0;
    for (int i = 0; i < parts.count; ++i) {
        held += areaOf(parts.parts[i].area);
    }
    return held < areaOf(all) ? parts : DashboardParts{};
}

void BufferChain::reset(int32_t width, int32_t height) {
    *this = BufferChain();
    full_ = {0, 0, std::clamp(width, 0, kMaxSurfaceSide), std::clamp(height, 0, kMaxSurfaceSide)};
}

BufferChain::DrawTarget BufferChain::beginDraw() {
    if (drawing_ >= 0) {
        return {drawing_, -1, {}};
    }
    int slot = -1;
    if (committed_ >= 0 && !held_[committed_]) {
        slot = committed_;  // already the newest picture: nothing to catch up
    }
    for (int s = 0; slot < 0 && s < slots_; ++s) {
        if (s != committed_ && !held_[s]) {
            slot = s;
        }
    }
    if (slot < 0 && slots_ < kMaxSlots) {
        slot = slots_++;
        stale_[slot] = DrawnArea();
        held_[slot] = false;
        if (committed_ >= 0 && !isEmpty(full_)) {
            stale_[slot].add(full_);  // black, behind whatever was shown
        }
    }
    for (int s = 0; slot < 0 && s < slots_; ++s) {
        if (s != committed_ && (slot < 0 || age_[s] < age_[slot])) {
            slot = s;
        }
    }
    if (slot < 0) {
        slot = committed_;
    }
    DrawTarget target{slot, -1, {}};
    if (slot != committed_ && committed_ >= 0 && !stale_[slot].empty()) {
        target.source = committed_;
        target.catchUp = stale_[slot];
    }
    stale_[slot] = DrawnArea();
    drawing_ = slot;
    return target;
}

void BufferChain::drew(Rect r) {
    r = intersectRect(r, full_);
    if (drawing_ < 0 || isEmpty(r)) {
        return;
    }
    for (int s = 0; s < slots_; ++s) {
        if (s != drawing_) {
            stale_[s].add(r);
        }
    }
    damage_.add(r);
}

int BufferChain::commit(DrawnArea& damage) {
    damage = damage_;
    damage_ = DrawnArea();
    const int slot = drawing_;
    if (slot < 0) {
        return -1;
    }
    held_[slot] = true;
    age_[slot] = ++commits_;
    committed_ = slot;
    drawing_ = -1;
    return slot;
}

void BufferChain::released(int slot) {
    if (slot >= 0 && slot < slots_) {
        held_[slot] = false;
    }
}

}  // namespace vandrel
